// When each byte the modem sends may go out. Replies wait for their due time,
// bytes can be spaced out one by one (a slow stick), and an unsolicited line
// can be slipped in at a fixed period (a stick that reports signal strength
// on its own). Times are offsets from the start of the sim.
#pragma once

#include <chrono>
#include <deque>
#include <optional>
#include <string>

namespace tessivo::modemsim {

using Time = std::chrono::microseconds;
using Millis = std::chrono::milliseconds;

class OutputSchedule {
 public:
  // `trickle`: the least time between two bytes, zero for none.
  // `noisePeriod`: how often `noiseLine` is sent, zero for never.
  OutputSchedule(Millis trickle, Millis noisePeriod, std::string noiseLine);

  // Queues `bytes` to go out after everything queued before, and not before
  // `notBefore`. Each call is one piece: an unsolicited line may come between
  // two pieces but never inside one.
  void Add(Time notBefore, std::string bytes);

  // The bytes due by `now`, in order; with trickle at most one.
  std::string Take(Time now);

  // When Take next has something to give, or nothing if it never will
  // without another Add.
  std::optional<Time> NextWakeup() const;

  // Sends `bytes` at `at` whatever else is queued: before the pieces that
  // have not begun by then, never inside one. Like the periodic line, it
  // goes out (or is lost) at its time whether or not anyone listens.
  void AddUnsolicited(Time at, std::string bytes);

  // Forgets every queued byte; the period of the unsolicited line goes on,
  // and so do the lines for a fixed time.
  void Clear();

  bool empty() const { return pieces_.empty(); }

 private:
  struct Piece {
    Time notBefore;
    std::string bytes;
    size_t sent = 0;
  };

  // Puts the unsolicited lines due by `now` before the pieces not begun.
  void AddDueLines(Time now);
  // When the front piece may send its next byte.
  Time FrontDue() const;

  Time trickle_;
  Time noisePeriod_;
  std::string noiseLine_;
  Time nextNoise_;
  std::optional<Time> lastByte_;
  std::deque<Piece> pieces_;
  std::deque<Piece> timed_;  // by time
};

}  // namespace tessivo::modemsim
