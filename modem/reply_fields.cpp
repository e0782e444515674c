#include "modem/reply_fields.h"

namespace tessivo {

std::string TrimBlanks(const std::string& text) {
  std::size_t from = 0;
  std::size_t to = text.size();
  while (from < to && IsBlank(text[from])) ++from;
  while (to > from && IsBlank(text[to - 1])) --to;
  return text.substr(from, to - from);
}

std::optional<std::string> AfterPrefix(const std::string& line, const std::string& prefix) {
  std::size_t first = 0;
  while (first < line.size() && IsBlank(line[first])) ++first;
  if (line.compare(first, prefix.size(), prefix) != 0) return std::nullopt;
  return TrimBlanks(line.substr(first + prefix.size()));
}

std::vector<std::string> SplitFields(const std::string& text) {
  std::vector<std::string> fields;
  std::string field;
  bool quoted = false;
  const auto close = [&] {
    std::string trimmed = TrimBlanks(field);
    if (trimmed.size() >= 2 && trimmed.front() == '"' && trimmed.back() == '"') {
      trimmed = TrimBlanks(trimmed.substr(1, trimmed.size() - 2));
    }
    fields.push_back(trimmed);
    field.clear();
  };
  for (const char c : text) {
    if (c == '"') quoted = !quoted;
    if (c == ',' && !quoted) {
      close();
    } else {
      field += c;
    }
  }
  close();
  return fields;
}

std::optional<unsigned> TriesField(const std::string& field) {
  constexpr unsigned kMostTries = 10;  // PUKs have ten, PINs three
  if (field.empty() || field.size() > 2) return std::nullopt;
  unsigned value = 0;
  for (const char c : field) {
    if (!IsDigit(c)) return std::nullopt;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value > kMostTries) return std::nullopt;
  return value;
}

}  // namespace tessivo
