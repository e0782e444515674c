#include "text/unicode_1252.h"

namespace tessivo {
namespace {

// 0x80 to 0x9F, the only range where Windows-1252 differs from Latin-1.
constexpr char32_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

}  // namespace

char32_t UnicodeFrom1252(char byte) {
  const auto b = static_cast<unsigned char>(byte);
  return b >= 0x80 && b <= 0x9F ? kHighControls[b - 0x80] : char32_t{b};
}

char Cp1252FromUnicode(char32_t codePoint) {
  if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) {
    return static_cast<char>(codePoint);
  }
  for (int i = 0; i < 32; ++i) {
    if (kHighControls[i] == codePoint) return static_cast<char>(0x80 + i);
  }
  return '?';
}

std::u32string UnicodeFrom1252(const std::string& text) {
  std::u32string out;
  out.reserve(text.size());
  for (char c : text) out.push_back(UnicodeFrom1252(c));
  return out;
}

std::string Cp1252FromUnicode(const std::u32string& text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t c : text) out.push_back(Cp1252FromUnicode(c));
  return out;
}

std::string Utf8From1252(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  // Every code point of the code page lies in the basic plane.
  for (char32_t c : UnicodeFrom1252(text)) {
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

}  // namespace tessivo
