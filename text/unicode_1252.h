// Windows-1252 <-> Unicode, for window systems that keep text in Unicode
// (Qt) and terminals that show UTF-8 (Linux). The core's strings stay
// Windows-1252 bytes; conversion happens only where text enters or leaves a
// widget or goes to a terminal. The full code-page table is used, not
// Latin-1: 0x80 is the euro sign, 0x9A "š", 0x93/0x94 the curly quotes. The
// five bytes the code page leaves undefined map to the C1 controls of the
// same value, as Windows maps them, so every byte survives the round trip.
#pragma once

#include <string>

namespace tessivo {

char32_t UnicodeFrom1252(char byte);
// The Windows-1252 byte for a code point; '?' when the code page lacks it.
char Cp1252FromUnicode(char32_t codePoint);

std::u32string UnicodeFrom1252(const std::string& text);
std::string Cp1252FromUnicode(const std::u32string& text);

// The text encoded as UTF-8, for a terminal.
std::string Utf8From1252(const std::string& text);

}  // namespace tessivo
