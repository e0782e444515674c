// Little readers for the fields of a modem's information lines
// ("+cpinr: sim pin,3,3"), shared by the readers of the SIM's replies.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tessivo {

inline bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

inline bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// The text without blanks at its ends.
std::string TrimBlanks(const std::string& text);

// The text after `prefix` when the line (blanks in front ignored) begins with
// it, trimmed; nothing otherwise.
std::optional<std::string> AfterPrefix(const std::string& line, const std::string& prefix);

// The comma-separated fields, each trimmed and without the double quotes
// around it. Commas inside quotes do not split: "a,b",1 is two fields.
std::vector<std::string> SplitFields(const std::string& text);

// A count of tries as a SIM can have them, 0 to 10 in decimal digits. The
// modems' "unknown" (255), a negative or empty field, or anything larger
// cannot be right, and is nothing.
std::optional<unsigned> TriesField(const std::string& field);

}  // namespace tessivo
