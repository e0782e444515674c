// Recognises the console form of the command line: anything, then a port name
// ("com" and one or two more characters), then after a single space a PIN of
// four characters. Everything else runs the dialog.
#pragma once

#include <optional>
#include <string>

namespace tessivo {

struct ConsoleArguments {
  std::string port;  // lower-cased, e.g. "com1"
  std::string pin;   // lower-cased, exactly four characters
};

// Returns the two tokens when the line is in console form, else nothing.
// The whole line is lower-cased first; only spaces separate words.
std::optional<ConsoleArguments> ParseConsoleCommandLine(const std::string& commandLine);

}  // namespace tessivo
