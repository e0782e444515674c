#include "app/command_line.h"

#include "text/cp1252.h"

namespace tessivo {
namespace {

constexpr const char* kPinFromInput = "-";

bool IsWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

std::string TrimRight(std::string text) {
  while (!text.empty() && IsWhiteSpace(text.back())) text.pop_back();
  return text;
}

std::string Trim(const std::string& text) {
  std::size_t begin = 0;
  while (begin < text.size() && IsWhiteSpace(text[begin])) ++begin;
  return TrimRight(text.substr(begin));
}

// Splits off the text from the last space to the end. Fails when there is no
// space or the space is the line's first character.
bool CutLastWord(std::string& line, std::string& word) {
  const std::size_t space = line.rfind(' ');
  if (space == std::string::npos || space == 0) return false;
  word = line.substr(space);
  line.erase(space);
  return true;
}

// "com" and one or two more characters; nothing checks that they are digits
// (an odd name simply finds no port).
bool IsComToken(const std::string& lowerPort) {
  return (lowerPort.size() == 4 || lowerPort.size() == 5) && lowerPort.compare(0, 3, "com") == 0;
}

StartRequest Request(StartKind kind) {
  StartRequest request;
  request.kind = kind;
  return request;
}

StartRequest Dialog() {
  return Request(StartKind::Dialog);
}

}  // namespace

std::optional<ConsoleArguments> ParseConsoleCommandLine(const std::string& commandLine) {
  std::string line = ToLower1252(TrimRight(commandLine));
  std::string pin;
  std::string port;
  if (!CutLastWord(line, pin) || !CutLastWord(line, port)) return std::nullopt;
  pin = Trim(pin);
  port = Trim(port);
  if (!IsComToken(port) || pin.size() != 4) return std::nullopt;
  return ConsoleArguments{port, pin};
}

StartRequest DecideStartFromArguments(const std::vector<std::string>& arguments) {
  if (arguments.size() == 2) {
    const std::string& only = arguments[1];
    if (only == "--help" || only == "-h") return Request(StartKind::Help);
    if (only == "--version") return Request(StartKind::Version);
  }
  if (arguments.size() < 3) return Dialog();

  const std::size_t pinIndex = arguments.size() - 1;
  const std::string& portArgument = arguments[pinIndex - 1];
  const std::string pin = ToLower1252(Trim(arguments[pinIndex]));

  StartRequest request = Request(StartKind::Console);
  if (!portArgument.empty() && portArgument.front() == '/') {
    request.port = portArgument;  // a device path: no case mapping, no COM table
  } else {
    request.port = ToLower1252(Trim(portArgument));
    if (!IsComToken(request.port)) return Dialog();
  }
  if (pin == kPinFromInput) {
    request.pinFromInput = true;
  } else if (pin.size() == 4) {
    request.pin = pin;
    request.pinArgument = pinIndex;
  } else {
    return Dialog();
  }
  return request;
}

std::string PinFromInputLine(const std::string& line) {
  return ToLower1252(Trim(line));
}

StartRequest DecideStartFromCommandLine(const std::string& commandLine) {
  const auto console = ParseConsoleCommandLine(commandLine);
  if (!console) return Dialog();
  StartRequest request = Request(StartKind::Console);
  request.port = console->port;
  request.pin = console->pin;
  return request;
}

}  // namespace tessivo
