// A log of every byte that crossed the serial line, one line per read or
// write, that a test can read back at any time while the sim runs:
//   12.345 IN AT+CPIN?\r
//   12.346 OUT AT+CPIN?\r\r\n+CPIN: SIM PIN\r\n\r\nOK\r\n
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "output_schedule.h"

namespace tessivo::modemsim {

// \r, \n and \\ as such, printable ASCII as itself, anything else as \xHH.
std::string EscapeBytes(std::string_view bytes);

// "<ms with 3 decimals> <direction> <escaped bytes>", without the newline.
std::string TranscriptLine(Time at, const char* direction, std::string_view bytes);

class Transcript {
 public:
  Transcript() = default;
  ~Transcript();
  Transcript(const Transcript&) = delete;
  Transcript& operator=(const Transcript&) = delete;

  // Appends to `path`; false if it cannot be opened.
  bool Open(const std::string& path);
  void In(Time at, std::string_view bytes) { Write(at, "IN", bytes); }
  void Out(Time at, std::string_view bytes) { Write(at, "OUT", bytes); }
  // A line of its own, as it is (the record of password commands).
  void Line(const std::string& text);

 private:
  void Write(Time at, const char* direction, std::string_view bytes);

  std::FILE* file_ = nullptr;
};

}  // namespace tessivo::modemsim
