#include "output_schedule.h"

#include <algorithm>
#include <iterator>

namespace tessivo::modemsim {

OutputSchedule::OutputSchedule(Millis trickle, Millis noisePeriod, std::string noiseLine)
    : trickle_(trickle),
      noisePeriod_(noisePeriod),
      noiseLine_(std::move(noiseLine)),
      nextNoise_(noisePeriod) {}

void OutputSchedule::Add(Time notBefore, std::string bytes) {
  if (bytes.empty()) return;
  pieces_.push_back(Piece{notBefore, std::move(bytes)});
}

void OutputSchedule::AddUnsolicited(Time at, std::string bytes) {
  if (bytes.empty()) return;
  auto pos = std::upper_bound(timed_.begin(), timed_.end(), at,
                              [](Time t, const Piece& p) { return t < p.notBefore; });
  timed_.insert(pos, Piece{at, std::move(bytes)});
}

void OutputSchedule::AddDueLines(Time now) {
  std::deque<Piece> due;
  while (!timed_.empty() && timed_.front().notBefore <= now) {
    due.push_back(std::move(timed_.front()));
    timed_.pop_front();
  }
  if (noisePeriod_.count() > 0 && now >= nextNoise_) {
    auto pos = std::upper_bound(due.begin(), due.end(), nextNoise_,
                                [](Time t, const Piece& p) { return t < p.notBefore; });
    due.insert(pos, Piece{nextNoise_, noiseLine_});
    // Keep to the period from the start even if the loop woke late; lines
    // missed meanwhile are not made up for.
    nextNoise_ += noisePeriod_ * ((now - nextNoise_) / noisePeriod_ + 1);
  }
  if (due.empty()) return;
  // A piece that has begun to trickle out must finish first.
  auto at = pieces_.begin();
  if (at != pieces_.end() && at->sent > 0) ++at;
  pieces_.insert(at, std::make_move_iterator(due.begin()), std::make_move_iterator(due.end()));
}

Time OutputSchedule::FrontDue() const {
  Time due = pieces_.front().notBefore;
  if (trickle_.count() > 0 && lastByte_) due = std::max(due, *lastByte_ + trickle_);
  return due;
}

std::string OutputSchedule::Take(Time now) {
  AddDueLines(now);
  std::string out;
  while (!pieces_.empty() && FrontDue() <= now) {
    Piece& front = pieces_.front();
    if (trickle_.count() > 0) {
      out += front.bytes[front.sent++];
      lastByte_ = now;
      if (front.sent == front.bytes.size()) pieces_.pop_front();
      break;
    }
    out += front.bytes;
    pieces_.pop_front();
  }
  return out;
}

std::optional<Time> OutputSchedule::NextWakeup() const {
  std::optional<Time> next;
  if (noisePeriod_.count() > 0) next = nextNoise_;
  if (!timed_.empty())
    next = next ? std::min(*next, timed_.front().notBefore) : timed_.front().notBefore;
  if (!pieces_.empty()) next = next ? std::min(*next, FrontDue()) : FrontDue();
  return next;
}

void OutputSchedule::Clear() {
  pieces_.clear();
}

}  // namespace tessivo::modemsim
