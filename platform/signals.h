// The two speaker signals that tell the outcome of a PIN submission.
#pragma once

#include "platform/platform.h"

namespace tessivo {

constexpr unsigned kSuccessToneHz = 3000;
constexpr unsigned kSuccessToneMs = 200;
constexpr unsigned kFailureToneHz = 120;
constexpr unsigned kFailureToneMs = 400;
constexpr unsigned kFailurePauseMs = 200;

// One high tone.
inline void SignalSuccess(Platform& platform) {
  platform.Beep(kSuccessToneHz, kSuccessToneMs);
}

// Two low tones with a pause between them.
inline void SignalFailure(Platform& platform) {
  platform.Beep(kFailureToneHz, kFailureToneMs);
  platform.Sleep(kFailurePauseMs);
  platform.Beep(kFailureToneHz, kFailureToneMs);
}

}  // namespace tessivo
