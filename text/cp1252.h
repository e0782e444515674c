// Text in Tessivo is 8-bit Windows-1252, byte for byte: the German texts, the
// commands to the modem and its replies. Case mapping goes through that code
// page's own tables, never through the C locale, so that "ü" (0xFC) becomes
// "Ü" (0xDC) on every machine and the result never depends on the user's
// locale settings.
#pragma once

#include <string>

namespace tessivo {

char ToUpper1252(char c);
char ToLower1252(char c);

std::string ToUpper1252(std::string text);
std::string ToLower1252(std::string text);

}  // namespace tessivo
