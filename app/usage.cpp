#include "app/usage.h"

#include "tessivo_version.h"

namespace tessivo {

const std::string& UsageText() {
  // Windows-1252: \xE4 is "ä", \xF6 "ö", \xFC "ü".
  static const std::string text =
      "Aufruf: tessivo PORT PIN               Beispiel: tessivo COM1 1234\n"
      "  PORT  COM1 bis COM99 oder ein Ger\xE4tepfad, z. B. /dev/ttyUSB2\n"
      "  PIN   vier Buchstaben oder Ziffern, oder - f\xFCr die erste Zeile der Standardeingabe\n"
      "Sonst \xF6"
      "ffnet sich das Fenster (nur mit Anzeige: DISPLAY oder WAYLAND_DISPLAY).\n"
      "Exit-Status: 0 PIN angenommen, 1 abgelehnt, 2 kein Fenster, 3 Port fehlt, 4 Port belegt,\n"
      "  5 Portfehler, 6 PIN nicht gesendet, 7 keine Antwort; N\xE4heres in \"man tessivo\".\n"
      "Bei 4 fehlt meist die Gruppe dialout (sudo usermod -aG dialout $USER, neu anmelden),\n"
      "  oder ModemManager h\xE4lt den Port (sudo systemctl stop ModemManager).\n";
  return text;
}

const std::string& DialogMissingText() {
  static const std::string text =
      "F\xFCr das Fenster fehlt das Paket tessivo-gui (sudo apt install tessivo-gui).\n";
  return text;
}

std::string VersionText() {
  return std::string("tessivo ") + TESSIVO_VERSION_STRING + "\n";
}

}  // namespace tessivo
