#include "platform/posix/tone_player.h"

#include <alsa/asoundlib.h>
#include <fcntl.h>
#include <linux/kd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

namespace tessivo {
namespace {

using Clock = std::chrono::steady_clock;
constexpr unsigned kSampleRate = 48000;
constexpr double kAmplitude = 0.4 * 32767;
constexpr unsigned kPcLatencyUs = 50000;
constexpr long kPitClockHz = 1193180;  // the PC speaker's timer input

// Console mode promises silence on stdout and stderr; ALSA would otherwise
// complain there about a missing sound card.
void SilentAlsaErrors(const char*, int, const char*, int, const char*, ...) {}

std::vector<short> SineSamples(unsigned hz, unsigned ms) {
  const std::size_t count = static_cast<std::size_t>(kSampleRate) * ms / 1000;
  std::vector<short> samples(count);
  const double step = 2.0 * M_PI * hz / kSampleRate;
  for (std::size_t i = 0; i < count; ++i) {
    samples[i] = static_cast<short>(std::lround(kAmplitude * std::sin(step * i)));
  }
  return samples;
}

bool PlayOnAlsa(unsigned hz, unsigned ms) {
  snd_lib_error_set_handler(SilentAlsaErrors);
  snd_pcm_t* pcm = nullptr;
  // Opened without blocking: a sound card that another program holds must
  // not stall the PIN submission; the tone then falls back. Playing blocks.
  if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0) return false;
  snd_pcm_nonblock(pcm, 0);
  if (snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, 1, kSampleRate,
                         1, kPcLatencyUs) < 0) {
    snd_pcm_close(pcm);
    return false;
  }
  const std::vector<short> samples = SineSamples(hz, ms);
  std::size_t done = 0;
  while (done < samples.size()) {
    snd_pcm_sframes_t n = snd_pcm_writei(pcm, samples.data() + done, samples.size() - done);
    if (n < 0) n = snd_pcm_recover(pcm, static_cast<int>(n), 1);
    if (n < 0) break;
    done += static_cast<std::size_t>(n);
  }
  snd_pcm_drain(pcm);
  snd_pcm_close(pcm);
  return true;
}

bool PlayOnConsoleSpeaker(unsigned hz, unsigned ms) {
  if (hz == 0) return false;
  const int fd = open("/dev/console", O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool started = ioctl(fd, KIOCSOUND, static_cast<int>(kPitClockHz / hz)) == 0;
  if (started) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    ioctl(fd, KIOCSOUND, 0);
  }
  close(fd);
  return started;
}

}  // namespace

void PlayTone(unsigned hz, unsigned ms) {
  const auto start = Clock::now();
  if (!PlayOnAlsa(hz, ms)) PlayOnConsoleSpeaker(hz, ms);
  // A device that swallows samples faster than real time (a null sink, a
  // file) must not shorten the signal: the tone lasts its full length.
  std::this_thread::sleep_until(start + std::chrono::milliseconds(ms));
}

}  // namespace tessivo
