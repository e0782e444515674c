// The Windows-1252 case tables, on whole strings. Every reply test relies on
// them: a byte outside ASCII must never turn into an ASCII letter, or noise
// could spell "ok"; and casing must be stable, so that lower-casing twice (the
// callers and WithoutEcho both do) changes nothing.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/property.h"
#include "text/cp1252.h"

namespace {

using Byte = unsigned char;

bool IsAscii(char c) {
  return static_cast<Byte>(c) < 0x80;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessivo;
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string lower = ToLower1252(text);
  const std::string upper = ToUpper1252(text);

  CHECK_PROPERTY(lower.size() == text.size() && upper.size() == text.size(), text);
  CHECK_PROPERTY(ToLower1252(lower) == lower, text);
  CHECK_PROPERTY(ToUpper1252(upper) == upper, text);
  // Each byte has at most one partner of the other case, so going through
  // the other case and back lands on the same form.
  CHECK_PROPERTY(ToLower1252(upper) == lower, text);
  CHECK_PROPERTY(ToUpper1252(lower) == upper, text);

  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    CHECK_PROPERTY(lower[i] == ToLower1252(c) && upper[i] == ToUpper1252(c), text);
    CHECK_PROPERTY(IsAscii(lower[i]) == IsAscii(c) && IsAscii(upper[i]) == IsAscii(c), text);
    // Where the byte has a partner, the pair maps both ways (a bijection).
    if (lower[i] != c) CHECK_PROPERTY(ToUpper1252(lower[i]) == c, text);
    if (upper[i] != c) CHECK_PROPERTY(ToLower1252(upper[i]) == c, text);
    // A byte is never both a capital and a small letter.
    CHECK_PROPERTY(lower[i] == c || upper[i] == c, text);
    // ASCII is cased as in the C locale; digits, punctuation and controls stay.
    if (IsAscii(c)) {
      const bool capital = c >= 'A' && c <= 'Z';
      const bool small = c >= 'a' && c <= 'z';
      CHECK_PROPERTY(lower[i] == (capital ? c + 0x20 : c), text);
      CHECK_PROPERTY(upper[i] == (small ? c - 0x20 : c), text);
    }
  }
  return 0;
}
