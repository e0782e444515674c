// Captures the tones a program plays: an ALSA configuration whose default
// device writes every opened stream to its own raw file (S16_LE, mono, the
// rate the program asked for), and an analysis of those files.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace tessivo::testing {

struct CapturedTone {
  double hz;
  double ms;
};

class ToneCapture {
 public:
  ToneCapture(const std::string& folder, unsigned sampleRate = 48000);
  // The environment that points ALSA at the capture.
  std::map<std::string, std::string> Environment() const;
  // The tones in the order they were played.
  std::vector<CapturedTone> Tones() const;

 private:
  std::string folder_;
  unsigned rate_;
};

}  // namespace tessivo::testing
