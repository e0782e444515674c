// A point on the monotonic clock that an I/O loop must not pass, and how
// long poll may still wait for it. Kept apart so the arithmetic has its own
// test.
#pragma once

#include <chrono>

namespace tessivo {

class Deadline {
 public:
  using Clock = std::chrono::steady_clock;

  Deadline(Clock::time_point start, std::chrono::milliseconds budget) : end_(start + budget) {}
  static Deadline FromNow(std::chrono::milliseconds budget) { return {Clock::now(), budget}; }

  // Milliseconds left at `now`, rounded up so poll never wakes a hair early
  // and spins; 0 once the deadline has passed.
  int RemainingMs(Clock::time_point now) const;
  int RemainingMs() const { return RemainingMs(Clock::now()); }

 private:
  Clock::time_point end_;
};

}  // namespace tessivo
