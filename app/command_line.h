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
  Status,      // --status: tell the SIM's state and tries, send no password
  Puk,         // --puk: unblock the SIM with the PUK and set a new PIN
  ChangePin,   // --change-pin: replace the PIN
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
  FormsTogether,       // two of --status, --puk and --change-pin
  LastTryWithStatus,   // --status sends no PIN, so no last try either
  PortMissing,         // --status, --puk or --change-pin without PORT
  PukMissing,          // --puk PORT, but no PUK
  NewPinMissing,       // --puk or --change-pin without NEWPIN
};

// The longest wait --wait takes: an hour is far beyond any modem's start-up
// (a stick that switches its USB mode needs two minutes), and a bound keeps
// a typo such as "--wait 6000000" from holding a unit for weeks.
constexpr unsigned kMaxWaitSeconds = 3600;

struct StartRequest {
  StartKind kind = StartKind::Dialog;
  // Console, Status, Puk, ChangePin. The port as ModemPort::Open takes it: a COM name
  // lower-cased ("com1"), or a device path exactly as given.
  std::string port;
  // Console and ChangePin: the PIN token lower-cased, or empty when it comes from the
  // first line of standard input (the PIN argument "-").
  std::string pin;
  bool pinFromInput = false;
  // Console only: the index in the argument vector of the argument that holds
  // the PIN; 0 for none.
  std::size_t pinArgument = 0;
  // --wait SECONDS (Console, Status, Puk, ChangePin); nullopt = no waiting
  std::optional<unsigned> waitSeconds;
  // --last-try: with --wait in the console form, on its own with --puk and
  // --change-pin
  bool lastTry = false;
  // Puk and ChangePin; ChangePin's old PIN is `pin` above (and
  // pinFromInput). Each secret is empty when it comes from standard input
  // (the argument "-"); those are read one a line, in the order of the
  // arguments, and judged with IsPuk, IsNewPin and IsConsolePin once read.
  std::string puk;  // eight digits
  bool pukFromInput = false;
  std::string newPin;  // four digits
  bool newPinFromInput = false;
  // Puk and ChangePin: a secret on the command line has the wrong form
  // (a PUK not of eight digits, a new PIN not of four, an old PIN that is
  // not four ASCII letters or digits). The run ends with status 6 and sends
  // nothing; no secret is kept in the request then.
  bool badSecret = false;
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
// never costs a PIN try: every argument is a known option or one of the
// positional arguments of its form.
//   [--wait SECONDS [--last-try]] [--] PORT PIN
//              console form when PORT is a COM name (4 or 5 characters
//              beginning with "com" in any case) or a device path (beginning
//              with "/", kept exactly as given), and PIN (white space at its
//              ends trimmed) has exactly four characters or is "-". Options
//              stand before PORT, in any order; "--" ends them.
//   [--wait SECONDS] --status PORT                          Status
//   [--wait SECONDS] [--last-try] --puk PORT PUK NEWPIN      Puk
//   [--wait SECONDS] [--last-try] --change-pin PORT OLDPIN NEWPIN   ChangePin
//              PORT as above; each secret may be "-". One of the three forms
//              at most, each option once, all before PORT.
//   --help, -h, --version   as the only argument: Help, Version
//   no argument, or one or two positional arguments without options that
//   are not the console form (a PIN of five characters, a port alone):
//              the dialog, where the user can put it right
// Anything else is a UsageError, decided before any port is opened.
StartRequest DecideStartFromArguments(const std::vector<std::string>& arguments);

// The PIN of the console form from the line read for the PIN argument "-",
// prepared as a PIN token is: white space at both ends trimmed, lower-cased.
// The same preparation serves the PUK and the new PIN read for "-".
std::string PinFromInputLine(const std::string& line);

// A PUK as --puk takes it: exactly eight ASCII digits.
bool IsPuk(const std::string& puk);
// A new PIN as --puk and --change-pin take it: exactly four ASCII digits.
bool IsNewPin(const std::string& pin);

// Windows: the whole command line; the console form, the three forms with an
// option (--status PORT, --puk PORT PUK NEWPIN, --change-pin PORT OLDPIN
// NEWPIN; the secrets as the last words, never "-") or the dialog, nothing
// else. The words right before the port may be "--wait SECONDS",
// "--last-try" and one of "--status", "--puk", "--change-pin" (in any
// order); an invalid SECONDS, a "--wait" without one, a word twice, two
// forms, a form with the wrong number of words after the port, or
// "--last-try" where the form takes none there gives the dialog, never a
// password sent at once. Other words before the port are the program's path
// and ignored.
StartRequest DecideStartFromCommandLine(const std::string& commandLine);

}  // namespace tessivo
