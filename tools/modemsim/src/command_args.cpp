#include "command_args.h"

#include <cctype>

namespace tessivo::modemsim {

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::optional<int> Number(const std::string& text, int max, std::optional<int> empty) {
  if (text.empty()) return empty;
  if (text.size() > 3) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value > max) return std::nullopt;
  return value;
}

std::optional<std::string> OnlyArg(const AtCommand& cmd) {
  if (cmd.args.size() > 1) return std::nullopt;
  return cmd.args.empty() ? std::string() : cmd.args[0];
}

const std::string& Arg(const AtCommand& cmd, size_t i) {
  // A reference, not a copy: no temporary string for every optional
  // parameter that was left out.
  static const std::string kLeftOut;
  return i < cmd.args.size() ? cmd.args[i] : kLeftOut;
}

}  // namespace tessivo::modemsim
