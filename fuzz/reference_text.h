// White space and trimming written apart from the product's own, for the
// command-line harnesses to compare the parsers against.
#pragma once

#include <string>
#include <vector>

namespace tessivo::fuzz {

inline bool IsWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

inline std::string Trimmed(const std::string& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsWhiteSpace(text[begin])) ++begin;
  while (end > begin && IsWhiteSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

// The pieces between the separators, empty ones included: n separators give
// n + 1 pieces.
inline std::vector<std::string> SplitAt(const std::string& text, char separator) {
  std::vector<std::string> pieces(1);
  for (char c : text) {
    if (c == separator) {
      pieces.emplace_back();
    } else {
      pieces.back() += c;
    }
  }
  return pieces;
}

}  // namespace tessivo::fuzz
