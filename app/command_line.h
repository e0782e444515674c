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
  Console,  // submit the PIN without a window
  Dialog,   // the dialog; where no window system can be opened, the usage text
  Help,     // the usage text on stdout
  Version,  // the program's name and version on stdout
};

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
  // the PIN, so the caller can hide it from the process list; 0 for none.
  std::size_t pinArgument = 0;
  std::optional<unsigned> waitSeconds;
  bool lastTry = false;
};

// Linux: the argument vector, program name first. Like the Windows line, the
// last two arguments (white space at their ends trimmed) decide and what comes
// before them is ignored:
//   PORT PIN   console form when PORT is a COM name (4 or 5 characters
//              beginning with "com" in any case) or a device path (beginning
//              with "/", kept exactly as given), and PIN has exactly four
//              characters or is "-"
//   --help, -h, --version   as the only argument: Help, Version
// Anything else is the dialog.
StartRequest DecideStartFromArguments(const std::vector<std::string>& arguments);

// The PIN of the console form from the line read for the PIN argument "-",
// prepared as a PIN token is: white space at both ends trimmed, lower-cased.
std::string PinFromInputLine(const std::string& line);

// Windows: the whole command line; the console form or the dialog, nothing
// else.
StartRequest DecideStartFromCommandLine(const std::string& commandLine);

}  // namespace tessivo
