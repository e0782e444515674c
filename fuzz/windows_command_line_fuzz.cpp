// The console-form test on the whole command line, as GetCommandLineA gives
// it. Checked against a second reading of the same rules (split at every
// space) and against what must not change the outcome: white space at the
// end, letter case, and a program path put in front of a console form; the
// options --wait and --last-try only ever read into a console form or one of
// --status, --puk and --change-pin.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "fuzz/property.h"
#include "fuzz/reference_text.h"
#include "text/cp1252.h"

namespace tessivo {
namespace {

using fuzz::IsWhiteSpace;
using fuzz::Trimmed;

// The rules read another way: the words between single spaces, the PIN the
// last of them and the port the one before it. The line needs two spaces,
// and the earlier one must not be its first character.
std::optional<ConsoleArguments> Reference(const std::string& commandLine) {
  std::string line = commandLine;
  while (!line.empty() && IsWhiteSpace(line.back())) line.pop_back();
  line = ToLower1252(line);
  const std::vector<std::string> words = fuzz::SplitAt(line, ' ');
  if (words.size() < 3) return std::nullopt;
  if (words.size() == 3 && words[0].empty()) return std::nullopt;
  const std::string pin = Trimmed(words[words.size() - 1]);
  const std::string port = Trimmed(words[words.size() - 2]);
  if (pin.size() != 4) return std::nullopt;
  if (port.size() != 4 && port.size() != 5) return std::nullopt;
  if (port.compare(0, 3, "com") != 0) return std::nullopt;
  return ConsoleArguments{port, pin};
}

bool Same(const std::optional<ConsoleArguments>& a, const std::optional<ConsoleArguments>& b) {
  if (a.has_value() != b.has_value()) return false;
  return !a || (a->port == b->port && a->pin == b->pin);
}

}  // namespace
}  // namespace tessivo

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessivo;
  const std::string line(reinterpret_cast<const char*>(data), size);
  const auto args = ParseConsoleCommandLine(line);

  CHECK_PROPERTY(Same(args, Reference(line)), line);
  if (args) {
    CHECK_PROPERTY(args->pin.size() == 4, line);
    CHECK_PROPERTY(args->port.size() == 4 || args->port.size() == 5, line);
    CHECK_PROPERTY(args->port.compare(0, 3, "com") == 0, line);
    CHECK_PROPERTY(ToLower1252(args->port) == args->port, line);
    CHECK_PROPERTY(ToLower1252(args->pin) == args->pin, line);
    CHECK_PROPERTY(args->pin.find(' ') == std::string::npos, line);
    CHECK_PROPERTY(args->port.find(' ') == std::string::npos, line);
    CHECK_PROPERTY(!IsWhiteSpace(args->pin.front()) && !IsWhiteSpace(args->pin.back()), line);
    // Whatever stands before the port is the program's path and is ignored.
    CHECK_PROPERTY(Same(ParseConsoleCommandLine("tessivo " + line), args), line);
    CHECK_PROPERTY(
        Same(ParseConsoleCommandLine("\"C:\\Program Files\\Tessivo\\Tessivo.exe\" " + line), args),
        line);
  }
  // The options before the port: read only into a console form, within their
  // range, --last-try only with --wait; a valid --wait in front of a console
  // form keeps its port and PIN.
  const StartRequest start = DecideStartFromCommandLine(line);
  CHECK_PROPERTY(start.kind != StartKind::Console || args.has_value(), line);
  if (start.kind == StartKind::Dialog) {
    CHECK_PROPERTY(!start.waitSeconds && !start.lastTry && start.port.empty(), line);
  }
  if (start.waitSeconds) {
    CHECK_PROPERTY(*start.waitSeconds >= 1 && *start.waitSeconds <= kMaxWaitSeconds, line);
  }
  if (start.kind == StartKind::Console) CHECK_PROPERTY(!start.lastTry || start.waitSeconds, line);
  // The forms with an option: secrets only of the right form and never from
  // standard input, which a Windows program started so has not.
  if (start.kind != StartKind::Console && start.kind != StartKind::Dialog) {
    CHECK_PROPERTY(start.port.compare(0, 3, "com") == 0 && !start.pukFromInput &&
                       !start.newPinFromInput && (start.puk.empty() || IsPuk(start.puk)) &&
                       (start.newPin.empty() || IsNewPin(start.newPin)),
                   line);
  }
  if (args && line.find(' ') != 0) {
    const StartRequest waiting = DecideStartFromCommandLine("tessivo --wait 60 " + line);
    if (waiting.kind == StartKind::Console) {
      CHECK_PROPERTY(waiting.port == args->port && waiting.pin == args->pin, line);
    }
  }
  // Blanks after the PIN do no harm, and letter case never decides the form.
  CHECK_PROPERTY(Same(ParseConsoleCommandLine(line + " \t\r\n"), args), line);
  CHECK_PROPERTY(Same(ParseConsoleCommandLine(ToUpper1252(line)), args), line);
  return 0;
}
