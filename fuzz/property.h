// Property checks for the fuzz harnesses. A broken property prints what was
// expected and the input, then aborts, so libFuzzer keeps the input as a crash
// file and bench/fuzz.sh counts it.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

namespace tessivo::fuzz {

// The bytes as a C string literal, so a failure can be pasted into a test.
inline std::string Quoted(const std::string& bytes) {
  std::string out = "\"";
  bool afterHex = false;
  for (unsigned char c : bytes) {
    const bool hexDigit =
        (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (afterHex && hexDigit) out += "\"\"";  // end the escape before a digit
    afterHex = false;
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
      afterHex = true;
    }
  }
  return out + "\"";
}

[[noreturn]] inline void PropertyFailed(const char* property, const std::string& input,
                                        const char* file, int line) {
  std::fprintf(stderr, "PROPERTY FAILED: %s\n  at %s:%d\n  input: %s\n", property, file, line,
               Quoted(input).c_str());
  std::abort();
}

}  // namespace tessivo::fuzz

// CHECK_PROPERTY(condition, input): the condition must hold for this input.
#define CHECK_PROPERTY(condition, input)                                                        \
  do {                                                                                          \
    if (!(condition)) ::tessivo::fuzz::PropertyFailed(#condition, (input), __FILE__, __LINE__); \
  } while (0)
