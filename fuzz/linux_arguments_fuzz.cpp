// The start decision from the Linux argument vector. The input is split at
// NUL bytes into arguments, as the kernel hands them over (the first is the
// program's name). Checked: the console form only for a PIN token of exactly
// four characters or "-", a device path kept byte for byte, --help, -h and
// --version only as the only argument, a COM name and PIN read as the Windows
// command line reads them, no unknown option and no extra argument ever
// reaching the console form, the PIN's argument always hidden, and the PIN
// from standard input prepared as a PIN argument is; for --status, --puk and
// --change-pin, only secrets of the right form kept and all of them hidden.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/console_mode.h"
#include "fuzz/property.h"
#include "fuzz/reference_text.h"
#include "text/cp1252.h"

namespace tessivo {
namespace {

using fuzz::IsWhiteSpace;
using fuzz::Trimmed;

bool Same(const StartRequest& a, const StartRequest& b) {
  return a.kind == b.kind && a.port == b.port && a.pin == b.pin &&
         a.pinFromInput == b.pinFromInput && a.pinArgument == b.pinArgument &&
         a.waitSeconds == b.waitSeconds && a.lastTry == b.lastTry &&
         a.firstHiddenArgument == b.firstHiddenArgument && a.problem == b.problem &&
         a.offendingArgument == b.offendingArgument && a.puk == b.puk &&
         a.pukFromInput == b.pukFromInput && a.newPin == b.newPin &&
         a.newPinFromInput == b.newPinFromInput && a.badSecret == b.badSecret;
}

bool IsSimForm(StartKind kind) {
  return kind == StartKind::Status || kind == StartKind::Puk || kind == StartKind::ChangePin;
}

bool LooksLikeOption(const std::string& argument) {
  return argument.size() > 1 && argument[0] == '-';
}

// Every word that asks for an option, up to a "--", is one of the two the
// console form knows, or the number after "--wait".
bool OnlyKnownOptions(const std::vector<std::string>& argv) {
  for (std::size_t i = 1; i < argv.size(); ++i) {
    if (argv[i] == "--") return true;
    if (!LooksLikeOption(argv[i])) continue;
    if (argv[i] == "--wait" && i + 1 < argv.size()) {
      ++i;
    } else if (argv[i] != "--last-try") {
      return false;
    }
  }
  return true;
}

}  // namespace
}  // namespace tessivo

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessivo;
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> argv = fuzz::SplitAt(input, '\0');
  if (argv.size() > 64) return 0;

  const StartRequest request = DecideStartFromArguments(argv);
  CHECK_PROPERTY(Same(request, DecideStartFromArguments(argv)), input);

  const bool only = argv.size() == 2;
  const bool asksHelp = only && (argv[1] == "--help" || argv[1] == "-h");
  const bool asksVersion = only && argv[1] == "--version";
  CHECK_PROPERTY((request.kind == StartKind::Help) == asksHelp, input);
  CHECK_PROPERTY((request.kind == StartKind::Version) == asksVersion, input);
  if (request.kind != StartKind::Console && !IsSimForm(request.kind)) {
    CHECK_PROPERTY(request.port.empty() && request.pin.empty() && !request.pinFromInput &&
                       request.pinArgument == 0 && !request.waitSeconds && !request.lastTry,
                   input);
  }
  // A secret kept is one of the right form, a bad one keeps none, and the
  // secrets of --puk and --change-pin never stay in the process list.
  const bool secrets = request.kind == StartKind::Puk || request.kind == StartKind::ChangePin;
  CHECK_PROPERTY(secrets || (request.puk.empty() && request.newPin.empty() && !request.badSecret),
                 input);
  CHECK_PROPERTY((request.puk.empty() || IsPuk(request.puk)) &&
                     (request.newPin.empty() || IsNewPin(request.newPin)) &&
                     (!secrets || request.pin.empty() || IsConsolePin(request.pin)),
                 input);
  CHECK_PROPERTY(!request.badSecret || (request.pin.empty() && request.puk.empty() &&
                                        request.newPin.empty() && !request.newPinFromInput),
                 input);
  CHECK_PROPERTY(!secrets || request.firstHiddenArgument + 2 <= argv.size(), input);
  CHECK_PROPERTY(request.firstHiddenArgument == 0 || (request.firstHiddenArgument >= 2 &&
                                                      request.firstHiddenArgument < argv.size()),
                 input);
  CHECK_PROPERTY((request.kind == StartKind::UsageError) == (request.problem != UsageProblem::None),
                 input);
  CHECK_PROPERTY(request.offendingArgument < argv.size(), input);

  // An unknown option in front, or one more argument behind, is always
  // refused: a typo never reaches the modem.
  if (argv.size() < 60) {
    std::vector<std::string> typo = argv;
    typo.insert(typo.begin() + 1, "--no-such-option");
    const StartRequest refused = DecideStartFromArguments(typo);
    CHECK_PROPERTY(refused.kind == StartKind::UsageError && refused.offendingArgument == 1, input);
  }

  if (request.kind == StartKind::Console) {
    CHECK_PROPERTY(OnlyKnownOptions(argv), input);
    CHECK_PROPERTY(request.lastTry ? request.waitSeconds.has_value() : true, input);
    if (request.waitSeconds) {
      CHECK_PROPERTY(*request.waitSeconds >= 1 && *request.waitSeconds <= kMaxWaitSeconds, input);
    }
    if (!request.pinFromInput) {
      CHECK_PROPERTY(request.pinArgument >= 2 && request.pinArgument < argv.size(), input);
      CHECK_PROPERTY(request.pin == ToLower1252(Trimmed(argv[request.pinArgument])), input);
      CHECK_PROPERTY(
          request.firstHiddenArgument != 0 && request.firstHiddenArgument <= request.pinArgument,
          input);
    }
    for (const char* more : {"x", "-v", "--wait"}) {
      std::vector<std::string> longer = argv;
      longer.push_back(more);
      CHECK_PROPERTY(DecideStartFromArguments(longer).kind == StartKind::UsageError, input);
    }
  }

  // Without any word that looks like an option, the old reading holds:
  // exactly two arguments decide between the console form and the dialog.
  for (std::size_t i = 1; i < argv.size(); ++i) {
    if (LooksLikeOption(argv[i])) return 0;
  }
  if (argv.size() > 3) {
    CHECK_PROPERTY(request.kind == StartKind::UsageError, input);
    return 0;
  }
  if (argv.size() < 3) {
    CHECK_PROPERTY(request.kind == StartKind::Dialog, input);
    return 0;
  }

  const std::size_t last = argv.size() - 1;
  const std::string& portArgument = argv[last - 1];
  const std::string pinToken = Trimmed(argv[last]);
  const bool devicePath = !portArgument.empty() && portArgument[0] == '/';
  CHECK_PROPERTY(request.kind == StartKind::Console || request.kind == StartKind::Dialog, input);
  CHECK_PROPERTY(request.firstHiddenArgument == last, input);

  if (request.kind == StartKind::Console) {
    CHECK_PROPERTY(pinToken.size() == 4 || pinToken == "-", input);
    if (request.pinFromInput) {
      CHECK_PROPERTY(pinToken == "-" && request.pin.empty() && request.pinArgument == 0, input);
    } else {
      CHECK_PROPERTY(request.pinArgument == last, input);
    }
    if (devicePath) {
      CHECK_PROPERTY(request.port == portArgument, input);
    } else {
      const std::string port = request.port;
      CHECK_PROPERTY(port == ToLower1252(Trimmed(portArgument)), input);
      CHECK_PROPERTY((port.size() == 4 || port.size() == 5) && port.compare(0, 3, "com") == 0,
                     input);
    }
  } else if (devicePath && pinToken.size() == 4) {
    CHECK_PROPERTY(false, input);  // any path is a port
  }

  // A COM name and PIN without spaces in them are read as the Windows command
  // line reads them (there, spaces separate the words, and "-" is no PIN).
  const bool windowsWords = !devicePath && portArgument.find(' ') == std::string::npos &&
                            argv[last].find(' ') == std::string::npos && !pinToken.empty() &&
                            pinToken != "-";
  if (windowsWords) {
    const StartRequest windows =
        DecideStartFromCommandLine("tessivo " + portArgument + " " + argv[last]);
    CHECK_PROPERTY(windows.kind == request.kind, input);
    CHECK_PROPERTY(windows.port == request.port && windows.pin == request.pin, input);
  }
  // Letter case decides nothing but a device path.
  if (!devicePath) {
    std::vector<std::string> upper = argv;
    upper[last - 1] = ToUpper1252(upper[last - 1]);
    upper[last] = ToUpper1252(upper[last]);
    CHECK_PROPERTY(Same(DecideStartFromArguments(upper), request), input);
  }

  // The PIN typed on standard input is prepared as the PIN argument is, but
  // for a UTF-8 byte-order mark in front of it, which a saved file may carry.
  const std::string bom = "\xEF\xBB\xBF";
  const auto marked = [&bom](const std::string& text) {
    return text.compare(0, bom.size(), bom) == 0;
  };
  const std::string& line = argv[last];
  const std::string typed = PinFromInputLine(line);
  if (marked(line)) {
    CHECK_PROPERTY(
        typed == PinFromInputLine(line.substr(bom.size())) || marked(line.substr(bom.size())),
        input);
  } else {
    CHECK_PROPERTY(typed == ToLower1252(pinToken), input);
  }
  if (!marked(typed)) {
    CHECK_PROPERTY(PinFromInputLine(typed) == typed, input);
  }
  return 0;
}
