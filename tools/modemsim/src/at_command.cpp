#include "at_command.h"

#include <cctype>

namespace tessivo::modemsim {

namespace {

char Upper(char c) {
  return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}
bool IsAlpha(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) != 0;
}
bool IsDigit(char c) {
  return std::isdigit(static_cast<unsigned char>(c)) != 0;
}
bool IsAlnum(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0;
}

// The line without spaces outside quotes, and with the letters outside quotes
// in upper case. Nothing if a quote is left open.
std::optional<std::string> Normalise(std::string_view line) {
  std::string out;
  bool quoted = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
      out += c;
    } else if (quoted) {
      out += c;
    } else if (c != ' ' && c != '\t') {
      out += Upper(c);
    }
  }
  if (quoted) return std::nullopt;
  return out;
}

// Parameters "a","b",c: split at commas outside quotes, quotes removed. A
// parameter is either bare or wholly quoted; "12"34 is neither.
std::optional<std::vector<std::string>> SplitArgs(std::string_view text) {
  std::vector<std::string> pieces(1);
  bool quoted = false;
  for (char c : text) {
    if (c == '"') quoted = !quoted;
    if (c == ',' && !quoted) {
      pieces.emplace_back();
    } else {
      pieces.back() += c;
    }
  }
  if (text.empty()) pieces.clear();
  for (std::string& piece : pieces) {
    size_t quotes = 0;
    for (char c : piece) quotes += c == '"';
    if (quotes == 0) continue;
    if (quotes != 2 || piece.front() != '"' || piece.back() != '"') return std::nullopt;
    piece = piece.substr(1, piece.size() - 2);
  }
  return pieces;
}

}  // namespace

std::optional<std::vector<AtCommand>> ParseCommandLine(std::string_view line) {
  std::optional<std::string> normal = Normalise(line);
  if (!normal || normal->size() < 2 || normal->compare(0, 2, "AT") != 0) return std::nullopt;
  const std::string& s = *normal;
  std::vector<AtCommand> commands;
  size_t i = 2;
  while (i < s.size()) {
    if (s[i] == ';') {
      ++i;
      continue;
    }
    AtCommand cmd;
    // Some clients leave the plus off AT+CPINR; nothing else starts with C.
    bool bareCpinr = s.compare(i, 5, "CPINR") == 0;
    if (s[i] == '+' || s[i] == '^' || bareCpinr) {
      if (bareCpinr) cmd.name = "+";
      cmd.name += s[i++];
      while (i < s.size() && IsAlnum(s[i])) cmd.name += s[i++];
      if (cmd.name.size() < 2) return std::nullopt;
      if (s.compare(i, 2, "=?") == 0) {
        cmd.form = AtCommand::Form::kTest;
        i += 2;
      } else if (i < s.size() && s[i] == '?') {
        cmd.form = AtCommand::Form::kRead;
        ++i;
      } else if (i < s.size() && s[i] == '=') {
        cmd.form = AtCommand::Form::kSet;
        size_t end = ++i;
        bool quoted = false;
        while (end < s.size() && (quoted || s[end] != ';')) {
          if (s[end] == '"') quoted = !quoted;
          ++end;
        }
        auto args = SplitArgs(std::string_view(s).substr(i, end - i));
        if (!args) return std::nullopt;
        cmd.args = std::move(*args);
        i = end;
      }
      // Anything but the end or ';' after an extended command is garbage.
      if (i < s.size() && s[i] != ';') return std::nullopt;
    } else {
      if (s[i] == '&') cmd.name += s[i++];
      if (i >= s.size() || !IsAlpha(s[i])) return std::nullopt;
      cmd.name += s[i++];
      while (i < s.size() && IsDigit(s[i])) cmd.value += s[i++];
      if (cmd.name == "S") {
        // S-parameters: "S3?" reads register 3, "S3=13" sets it; the
        // number is not optional.
        if (cmd.value.empty()) return std::nullopt;
        if (i < s.size() && s[i] == '?') {
          cmd.form = AtCommand::Form::kRead;
          ++i;
        } else if (i < s.size() && s[i] == '=') {
          cmd.form = AtCommand::Form::kSet;
          std::string number;
          for (++i; i < s.size() && IsDigit(s[i]); ++i) number += s[i];
          cmd.args.push_back(number);
        }
      } else if (i < s.size() && s[i] == '?') {
        cmd.form = AtCommand::Form::kRead;
        ++i;
      }
    }
    commands.push_back(std::move(cmd));
  }
  return commands;
}

}  // namespace tessivo::modemsim
