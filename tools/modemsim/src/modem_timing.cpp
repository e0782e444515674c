// Hostile timing and framing, for tests that must meet a stick's worst
// manners on purpose rather than by luck: answers that lag their echo, lines
// cut in two, unsolicited lines slipped in front of the answer, and a seeded
// random mix of all of them. None of it changes what the answers say or what
// the SIM does.
#include <algorithm>
#include <string>

#include "command_args.h"
#include "modem.h"

namespace tessivo::modemsim {

namespace {

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

std::string Framed(const std::string& line) {
  return "\r\n" + line + "\r\n";
}

// The lines a confused or chatty stick sends in between: the state of the
// card (right or stale), a ring, Huawei's SIM status report.
const char* const kChaosLines[] = {"+CPIN: READY", "+CPIN: SIM PIN", "RING", "^SIMST: 1"};

}  // namespace

Modem::Shape Modem::ShapeFor(const std::string& line) {
  Shape shape;
  const std::string typed = Upper(line);
  // The first delay and split that fit count; every fitting line is sent.
  for (const PrefixDelay& d : settings_.answerDelays) {
    if (StartsWith(typed, d.prefix)) {
      shape.afterEcho = d.delay;
      break;
    }
  }
  for (const PrefixLine& u : settings_.unsolicitedBefore) {
    if (StartsWith(typed, u.prefix)) shape.before += Framed(u.line);
  }
  for (const PrefixSplit& s : settings_.splits) {
    if (StartsWith(typed, s.prefix)) {
      shape.splitAt = s.byte;
      shape.splitPause = s.pause;
      break;
    }
  }
  if (settings_.chaos) ChaosShape(shape);
  return shape;
}

// Each reply draws the same numbers in the same order, so a seed replays a
// run exactly as long as the client sends the same lines.
void Modem::ChaosShape(Shape& shape) {
  const Millis delay(ChaosNumber() % 3001);
  switch (ChaosNumber() % 3) {
    case 0:
      break;  // on time
    case 1:
      shape.afterEcho += delay;
      break;
    case 2:
      shape.beforeEcho += delay;
      break;
  }
  if (ChaosNumber() % 3 == 0) {
    // Somewhere in the first line or two of the answer; a point past its
    // end splits nothing.
    shape.splitAt = 1 + ChaosNumber() % 24;
    shape.splitPause = Millis(ChaosNumber() % 1001);
  }
  if (ChaosNumber() % 3 == 0) {
    std::string line = Framed(kChaosLines[ChaosNumber() % 4]);
    if (ChaosNumber() % 2 == 0) {
      shape.before += line;
    } else {
      shape.after += line;
    }
  }
}

// splitmix64: small, and the same on every platform.
std::uint64_t Modem::ChaosNumber() {
  std::uint64_t z = (chaosState_ += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

// Holds back everything from byte `byte` of the pieces on by `pause` after
// the moment that byte would have gone.
void Modem::Split(std::vector<Piece>& pieces, size_t byte, Millis pause) {
  size_t offset = 0;
  for (size_t i = 0; i < pieces.size(); ++i) {
    const size_t size = pieces[i].bytes.size();
    if (byte >= offset + size) {
      offset += size;
      continue;
    }
    const Time resume = pieces[i].at + pause;
    if (byte > offset) {
      Piece rest{resume, pieces[i].bytes.substr(byte - offset)};
      pieces[i].bytes.resize(byte - offset);
      pieces.insert(pieces.begin() + static_cast<std::ptrdiff_t>(i) + 1, std::move(rest));
      ++i;
    }
    for (; i < pieces.size(); ++i) pieces[i].at = std::max(pieces[i].at, resume);
    return;
  }
}

}  // namespace tessivo::modemsim
