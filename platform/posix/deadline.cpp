#include "platform/posix/deadline.h"

namespace tessivo {

int Deadline::RemainingMs(Clock::time_point now) const {
  if (now >= end_) return 0;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(end_ - now);
  return static_cast<int>(left.count());
}

}  // namespace tessivo
