#include "app/command_line.h"

#include "text/cp1252.h"

namespace tessivo {
namespace {

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

}  // namespace

std::optional<ConsoleArguments> ParseConsoleCommandLine(const std::string& commandLine) {
  std::string line = ToLower1252(TrimRight(commandLine));
  std::string pin;
  std::string port;
  if (!CutLastWord(line, pin) || !CutLastWord(line, port)) return std::nullopt;
  pin = Trim(pin);
  port = Trim(port);

  const bool portOk = (port.size() == 4 || port.size() == 5) && port.compare(0, 3, "com") == 0;
  if (!portOk || pin.size() != 4) return std::nullopt;
  return ConsoleArguments{port, pin};
}

}  // namespace tessivo
