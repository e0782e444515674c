#include "tests/support/tone_capture.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace tessivo::testing {
namespace {

CapturedTone Analyse(const std::vector<int16_t>& samples, unsigned rate) {
  // The frequency from the distance between the first and the last rising
  // zero crossing, which does not depend on where the tone starts its wave.
  std::size_t first = 0;
  std::size_t last = 0;
  int periods = -1;
  for (std::size_t i = 1; i < samples.size(); ++i) {
    if (samples[i - 1] < 0 && samples[i] >= 0) {
      if (periods < 0) first = i;
      last = i;
      ++periods;
    }
  }
  const double hz = periods > 0 ? periods * static_cast<double>(rate) / (last - first) : 0.0;
  return {hz, 1000.0 * samples.size() / rate};
}

}  // namespace

ToneCapture::ToneCapture(const std::string& folder, unsigned sampleRate)
    : folder_(folder), rate_(sampleRate) {
  std::ofstream conf(folder_ + "/asound.conf");
  // "truncate false": every further stream goes to tones.raw.0001, .0002, ...
  conf << "pcm.!default {\n  type file\n  slave.pcm { type null }\n  file \"" << folder_
       << "/tones.raw\"\n  format \"raw\"\n  truncate false\n}\n";
}

std::map<std::string, std::string> ToneCapture::Environment() const {
  return {{"ALSA_CONFIG_PATH", folder_ + "/asound.conf"}};
}

std::vector<CapturedTone> ToneCapture::Tones() const {
  std::vector<CapturedTone> tones;
  for (int i = 0;; ++i) {
    std::string name = folder_ + "/tones.raw";
    if (i > 0) {
      char suffix[16];
      std::snprintf(suffix, sizeof suffix, ".%04d", i);
      name += suffix;
    }
    std::ifstream in(name, std::ios::binary);
    if (!in) break;
    std::stringstream bytes;
    bytes << in.rdbuf();
    const std::string raw = bytes.str();
    std::vector<int16_t> samples(raw.size() / 2);
    for (std::size_t s = 0; s < samples.size(); ++s) {
      samples[s] = static_cast<int16_t>(static_cast<uint8_t>(raw[2 * s]) |
                                        (static_cast<uint8_t>(raw[2 * s + 1]) << 8));
    }
    tones.push_back(Analyse(samples, rate_));
  }
  return tones;
}

}  // namespace tessivo::testing
