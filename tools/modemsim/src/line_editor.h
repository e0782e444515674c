// Gathers the bytes from the client into command lines the way a modem in
// command state does (ITU-T V.250): the line ends with the S3 character, the
// S5 character takes back the one before it, other control characters are
// ignored, text before the "AT" prefix does not count, and "A/" repeats the
// last line at once, without waiting for the end of the line.
#pragma once

#include <string>

namespace tessivo::modemsim {

class LineEditor {
 public:
  enum class Event {
    kNone,    // the byte is part of a line still being typed
    kLine,    // the line ended: see line()
    kRepeat,  // "A/": run the previous line again
  };

  // Longer lines are not commands but garbage; keeping them would let a
  // runaway client grow the buffer without end.
  static constexpr size_t kMaxLine = 1024;

  // One byte from the client. `endOfLine` and `backspace` are the current
  // S3 and S5 characters.
  Event Feed(char c, char endOfLine, char backspace);

  // After kLine: the line from its "AT" on, or empty when it has no "AT"
  // (a modem ignores such a line).
  const std::string& line() const { return line_; }
  // After kLine: the line was longer than kMaxLine from its "AT" on.
  bool tooLong() const { return tooLong_; }

  // Forgets the half line typed so far.
  void Clear();

 private:
  // Where "AT" (in any case) starts in the line being typed, or npos.
  size_t PrefixAt() const;

  std::string typed_;
  bool overflow_ = false;
  std::string line_;
  bool tooLong_ = false;
};

}  // namespace tessivo::modemsim
