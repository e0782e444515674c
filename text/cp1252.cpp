#include "text/cp1252.h"

namespace tessivo {
namespace {

using Byte = unsigned char;

// Windows-1252 letters outside ASCII that have a partner of the other case.
// Latin-1's block 0xC0..0xDE / 0xE0..0xFE pairs up at a distance of 0x20,
// except the multiplication and division signs; the rest are single pairs.
constexpr Byte kUpperSpecial[] = {0x8A, 0x8C, 0x8E, 0x9F};  // Š Œ Ž Ÿ
constexpr Byte kLowerSpecial[] = {0x9A, 0x9C, 0x9E, 0xFF};  // š œ ž ÿ

bool IsLatin1Upper(Byte b) {
  return b >= 0xC0 && b <= 0xDE && b != 0xD7;
}
bool IsLatin1Lower(Byte b) {
  return b >= 0xE0 && b <= 0xFE && b != 0xF7;
}

}  // namespace

char ToUpper1252(char c) {
  const Byte b = static_cast<Byte>(c);
  if ((b >= 'a' && b <= 'z') || IsLatin1Lower(b)) return static_cast<char>(b - 0x20);
  for (int i = 0; i < 4; ++i) {
    if (b == kLowerSpecial[i]) return static_cast<char>(kUpperSpecial[i]);
  }
  return c;
}

char ToLower1252(char c) {
  const Byte b = static_cast<Byte>(c);
  if ((b >= 'A' && b <= 'Z') || IsLatin1Upper(b)) return static_cast<char>(b + 0x20);
  for (int i = 0; i < 4; ++i) {
    if (b == kUpperSpecial[i]) return static_cast<char>(kLowerSpecial[i]);
  }
  return c;
}

std::string ToUpper1252(std::string text) {
  for (char& c : text) c = ToUpper1252(c);
  return text;
}

std::string ToLower1252(std::string text) {
  for (char& c : text) c = ToLower1252(c);
  return text;
}

}  // namespace tessivo
