#include "app/usage.h"

#include "tessivo_version.h"

namespace tessivo {

const std::string& UsageText() {
  // Windows-1252: \xE4 is "ä", \xF6 "ö", \xFC "ü".
  static const std::string text =
      "Aufruf: tessivo PORT PIN               Beispiel: tessivo COM1 1234\n"
      "  PORT  COM1 bis COM99 oder ein Ger\xE4tepfad, z. B. /dev/ttyUSB2\n"
      "  PIN   vier Buchstaben oder Ziffern, oder - f\xFCr die erste Zeile der Standardeingabe\n"
      "  --wait SEKUNDEN vor PORT: bis zu SEKUNDEN auf Port, Modem und SIM warten; die PIN\n"
      "        geht h\xF6" "chstens einmal hinaus und nur, wenn die SIM sie erwartet, nicht beim\n"
      "        letzten Versuch (au\xDF" "er mit --last-try); eine Zeile auf stderr nennt das Ergebnis\n"
      "Sonst \xF6"
      "ffnet sich das Fenster (nur mit Anzeige: DISPLAY oder WAYLAND_DISPLAY).\n"
      "Exit-Status: 0 PIN angenommen, 1 abgelehnt, 2 kein Fenster, 3 Port fehlt, 4 Port belegt,\n"
      "  5 Portfehler, 6 PIN nicht gesendet, 7 keine Antwort, 8 SIM nicht bereit (nichts\n"
      "  verbraucht, sp\xE4ter erneut), 9 nur noch ein PIN-Versuch, nicht gesendet (--last-try\n"
      "  sendet ihn); N\xE4heres in \"man tessivo\".\n"
      "Bei 4 fehlt meist die Gruppe dialout (sudo usermod -aG dialout $USER, neu anmelden),\n"
      "  oder ModemManager h\xE4lt den Port (sudo systemctl stop ModemManager).\n";
  return text;
}

std::string VersionText() {
  return std::string("tessivo ") + TESSIVO_VERSION_STRING + "\n";
}

}  // namespace tessivo
