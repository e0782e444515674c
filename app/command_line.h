// The command-line decisions of the start-up: console form, device path,
// --help, --version, or the dialog. Pure functions, so every start a user can
// type is covered by one table of tests.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace tessivo {

struct ConsoleArguments {
  std::string port;  // lower-cased, e.g. "com1"
  std::string pin;   // lower-cased, exactly four characters
};

// Windows: the whole command line as one string, program path first.
// Recognises the console form: anything, then a port name ("com" and one or
// two more characters), then after a single space a PIN of four characters.
// The whole line is lower-cased first; only spaces separate words. Returns
// the two tokens when the line is in console form, else nothing.
std::optional<ConsoleArguments> ParseConsoleCommandLine(const std::string& commandLine);

enum class StartKind {
  Console,     // submit the PIN without a window
  Dialog,      // the dialog; where no window system can be opened, the usage text
  Help,        // the usage text on stdout
  Version,     // the program's name and version on stdout
  UsageError,  // Linux: the usage text and a line naming the fault on stderr, status 2
};

// Why a Linux command line was refused; the line on stderr tells it.
enum class UsageProblem {
  None,
  UnknownOption,       // "--wiat", "-v", "--HELP"
  OptionAfterPort,     // a known option after PORT or PIN
  NotAlone,            // --help or --version with other arguments
  TooManyArguments,    // a third positional argument
  Repeated,            // an option given twice
  MissingSeconds,      // --wait as the last argument
  BadSeconds,          // --wait with anything but 1..kMaxWaitSeconds in digits
  LastTryWithoutWait,  // --last-try alone means nothing
  PortAndPinMissing,   // options, but no PORT
  PinMissing,          // options and PORT, but no PIN
  NotAPort,            // options, and the port is neither COMn nor a device path
  NotAPin,             // options, and the PIN is neither four characters nor "-"
};

// The longest wait --wait takes: an hour is far beyond any modem's start-up
// (a stick that switches its USB mode needs two minutes), and a bound keeps
// a typo such as "--wait 6000000" from holding a unit for weeks.
constexpr unsigned kMaxWaitSeconds = 3600;

struct StartRequest {
  StartKind kind = StartKind::Dialog;
  // Console only. The port as ModemPort::Open takes it: a COM name
  // lower-cased ("com1"), or a device path exactly as given.
  std::string port;
  // Console only: the PIN token lower-cased, or empty when it comes from the
  // first line of standard input (the PIN argument "-").
  std::string pin;
  bool pinFromInput = false;
  // Console only: the index in the argument vector of the argument that holds
  // the PIN; 0 for none.
  std::size_t pinArgument = 0;
  // --wait SECONDS (console form only); nullopt = the plain console form
  std::optional<unsigned> waitSeconds;
  bool lastTry = false;  // --last-try (only with --wait)
  // Linux, whatever the kind: every argument from this index on is hidden
  // from the process list at once (everything after the port, or what the
  // port would be on a mistyped line); 0 for none.
  std::size_t firstHiddenArgument = 0;
  // UsageError only: what is wrong, and the index of the argument at fault
  // (0 when an argument is missing rather than wrong).
  UsageProblem problem = UsageProblem::None;
  std::size_t offendingArgument = 0;
};

// Linux: the argument vector, program name first. Strict, so that a typo
// never costs a PIN try: every argument is a known option or one of the two
// positional arguments PORT and PIN.
//   [--wait SECONDS [--last-try]] [--] PORT PIN
//              console form when PORT is a COM name (4 or 5 characters
//              beginning with "com" in any case) or a device path (beginning
//              with "/", kept exactly as given), and PIN (white space at its
//              ends trimmed) has exactly four characters or is "-". Options
//              stand before PORT, in any order; "--" ends them.
//   --help, -h, --version   as the only argument: Help, Version
//   no argument, or one or two positional arguments without options that
//   are not the console form (a PIN of five characters, a port alone):
//              the dialog, where the user can put it right
// Anything else is a UsageError, decided before any port is opened.
StartRequest DecideStartFromArguments(const std::vector<std::string>& arguments);

// The PIN of the console form from the line read for the PIN argument "-",
// prepared as a PIN token is: white space at both ends trimmed, lower-cased.
std::string PinFromInputLine(const std::string& line);

// Windows: the whole command line; the console form or the dialog, nothing
// else. The words right before the port may be "--wait SECONDS" and
// "--last-try" (in either order); an invalid SECONDS, a "--wait" without one
// or "--last-try" without "--wait" there gives the dialog, never a PIN sent
// at once. Other words before the port are the program's path and ignored.
StartRequest DecideStartFromCommandLine(const std::string& commandLine);

}  // namespace tessivo
