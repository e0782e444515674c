#include "app/usage.h"

#include "tessivo_version.h"

namespace tessivo {

const std::string& UsageText() {
  // Windows-1252: \xE4 is "ä", \xF6 "ö", \xFC "ü".
  static const std::string text =
      "Aufruf: tessivo PORT PIN               Beispiel: tessivo COM1 1234\n"
      "  PORT  COM1 bis COM99 oder ein Ger\xE4tepfad, z. B. /dev/ttyUSB2\n"
      "  PIN   vier Buchstaben oder Ziffern, oder - f\xFCr die erste Zeile der Standardeingabe\n"
      "        Im Aufruf ist die PIN beim Start f\xFCr andere lesbar; sicherer: - "
      "</etc/tessivo/pin\n"
      "  --wait SEK  vor PORT: bis zu SEK Sekunden warten, bis die SIM die PIN erwartet; sie geht\n"
      "              h\xF6"
      "chstens einmal hinaus, beim letzten Versuch nur mit --last-try\n"
      "       tessivo [--wait SEK] --status PORT        Zustand und Versuche, sendet nichts\n"
      "       tessivo [--wait SEK] [--last-try] --puk PORT PUK NEUE-PIN\n"
      "       tessivo [--wait SEK] [--last-try] --change-pin PORT PIN NEUE-PIN\n"
      "        PUK acht Ziffern, NEUE-PIN vier; jedes auch - (je eine Zeile der Standardeingabe)\n"
      "Sonst \xF6"
      "ffnet sich das Fenster (nur mit Anzeige: DISPLAY oder WAYLAND_DISPLAY).\n"
      "Exit-Status: 0 PIN angenommen, 1 abgelehnt, 2 falscher Aufruf oder kein Fenster,\n"
      "  3 Port fehlt, 4 Port belegt, 5 Portfehler, 6 PIN nicht gesendet, 7 keine Antwort,\n"
      "  8 SIM nicht bereit, 9 letzter Versuch nicht gesendet, 10 gesendet ohne Antwort.\n"
      "Wiederholen nur nach 3, 4, 5, 7, 8; nie nach 1, 6, 9, 10. N\xE4heres in \"man tessivo\".\n"
      "Bei 4 fehlt meist die Gruppe dialout (sudo usermod -aG dialout $USER, neu anmelden),\n"
      "  oder polkit verweigert den Zugriff \xFC"
      "ber ModemManager (als root oder lokal angemeldet).\n";
  return text;
}

const std::string& DialogMissingText() {
  static const std::string text =
      "F\xFCr das Fenster fehlt das Paket tessivo-gui (sudo apt install tessivo-gui).\n";
  return text;
}

namespace {

std::string Quoted(const std::string& argument) {
  std::string shown = "\"";
  for (const char c : argument) shown += (c >= 0x20 && c < 0x7F) ? c : '?';
  return shown + "\"";
}

// The positional arguments of the form asked for before `index`.
std::string PositionalsBefore(const std::vector<std::string>& arguments, std::size_t index) {
  for (std::size_t i = 1; i < index && i < arguments.size(); ++i) {
    if (arguments[i] == "--") break;
    if (arguments[i] == "--status") return "PORT";
    if (arguments[i] == "--puk") return "PORT, PUK und NEUE-PIN";
    if (arguments[i] == "--change-pin") return "PORT, PIN und NEUE-PIN";
  }
  return "PORT und PIN";
}

}  // namespace

std::string UsageProblemLine(const StartRequest& request,
                             const std::vector<std::string>& arguments) {
  const std::size_t index = request.offendingArgument;
  const std::string argument =
      index < arguments.size() ? Quoted(arguments[index]) : std::string("\"\"");
  const std::string place = "Argument " + std::to_string(index);
  const std::string max = std::to_string(kMaxWaitSeconds);
  std::string line;
  switch (request.problem) {
    case UsageProblem::UnknownOption:
      line = "Unbekannte Option " + argument;
      break;
    case UsageProblem::OptionAfterPort:
      line = "Optionen stehen vor PORT: " + argument;
      break;
    case UsageProblem::NotAlone:
      line = argument + " steht nur allein";
      break;
    case UsageProblem::TooManyArguments:
      line = "Zu viele Argumente (" + place + "): nur " + PositionalsBefore(arguments, index);
      break;
    case UsageProblem::Repeated:
      line = "Doppelt angegeben: " + argument;
      break;
    case UsageProblem::MissingSeconds:
      line = "Nach \"--wait\" fehlen die Sekunden (1 bis " + max + ")";
      break;
    case UsageProblem::BadSeconds:
      line = "Sekunden f\xFCr \"--wait\": 1 bis " + max + ", nicht " + argument;
      break;
    case UsageProblem::LastTryWithoutWait:
      line = "\"--last-try\" nur zusammen mit \"--wait\"";
      break;
    case UsageProblem::PortAndPinMissing:
      line = "PORT und PIN fehlen";
      break;
    case UsageProblem::PinMissing:
      line = "PIN fehlt";
      break;
    case UsageProblem::NotAPort:
      line = "Kein Port: " + argument;
      break;
    case UsageProblem::NotAPin:
      line = "Keine PIN (" + place + "): vier Buchstaben oder Ziffern, oder -";
      break;
    case UsageProblem::FormsTogether:
      line =
          "\"--status\", \"--puk\" und \"--change-pin\" schlie\xDF"
          "en sich aus: " +
          argument;
      break;
    case UsageProblem::LastTryWithStatus:
      line = "\"--last-try\" nicht mit \"--status\"";
      break;
    case UsageProblem::PortMissing:
      line = "PORT fehlt";
      break;
    case UsageProblem::PukMissing:
      line = "PUK fehlt";
      break;
    case UsageProblem::NewPinMissing:
      line = "Neue PIN fehlt";
      break;
    case UsageProblem::None:
      line = "Falscher Aufruf";
      break;
  }
  return line + "\n";
}

std::string VersionText() {
  return std::string("tessivo ") + TESSIVO_VERSION_STRING + "\n";
}

}  // namespace tessivo
