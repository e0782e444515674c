#include "transcript.h"

#include <fcntl.h>
#include <unistd.h>

namespace tessivo::modemsim {

std::string EscapeBytes(std::string_view bytes) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size());
  for (char ch : bytes) {
    auto c = static_cast<unsigned char>(ch);
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c >= 0x20 && c < 0x7f) {
      out += ch;
    } else {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 0xf];
    }
  }
  return out;
}

std::string TranscriptLine(Time at, const char* direction, std::string_view bytes) {
  long long us = at.count();
  char stamp[40];
  std::snprintf(stamp, sizeof stamp, "%lld.%03lld", us / 1000, us % 1000);
  return std::string(stamp) + " " + direction + " " + EscapeBytes(bytes);
}

Transcript::~Transcript() {
  if (file_) std::fclose(file_);
}

bool Transcript::Open(const std::string& path) {
  // The transcript holds every PIN sent: readable by its owner only.
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  file_ = fdopen(fd, "a");
  if (!file_) close(fd);
  return file_ != nullptr;
}

void Transcript::Line(const std::string& text) {
  if (!file_) return;
  std::string line = text + "\n";
  std::fwrite(line.data(), 1, line.size(), file_);
  std::fflush(file_);
}

void Transcript::Write(Time at, const char* direction, std::string_view bytes) {
  if (!file_ || bytes.empty()) return;
  std::string line = TranscriptLine(at, direction, bytes) + "\n";
  std::fwrite(line.data(), 1, line.size(), file_);
  // A test may read the file while the sim is still running.
  std::fflush(file_);
}

}  // namespace tessivo::modemsim
