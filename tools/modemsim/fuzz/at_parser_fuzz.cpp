// Feeds arbitrary bytes to the virtual modem, one byte per read, and checks
// what a client would rely on after every byte:
// - with echo on, the byte itself comes back first;
// - nothing but the echo before a line ends (S3, or the "/" of "A/");
// - no answer at all to a line without "A" and "T" in it;
// - with verbose codes, no Q1 and the usual S3/S4, exactly one final result
//   code per command line, and nothing after it but +CREG/+CGREG reports;
// - the SIM's counters and state stay consistent, and the PIN is always one
//   a SIM would take.
// The first byte picks the stick's settings, so every SIM state and error
// mode is reached.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "modem.h"

using tessivo::modemsim::IsValidPin;
using tessivo::modemsim::Modem;
using tessivo::modemsim::ModemSettings;
using tessivo::modemsim::SimCard;
using tessivo::modemsim::SimState;
using tessivo::modemsim::Time;

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

bool IsFinal(const std::string& line) {
  return line == "OK" || line == "ERROR" || line.rfind("+CME ERROR: ", 0) == 0;
}

// The reply of one command line that ends in the default framing: it ends
// with "\r\n", and its lines (ATI's block has several; a V0 or S4 in the line
// may have framed the information differently) are the information, the
// one final result code, and registration reports.
void CheckFraming(const std::string& reply) {
  Check(reply.size() >= 2 && reply.compare(reply.size() - 2, 2, "\r\n") == 0);
  std::vector<std::string> lines;
  for (size_t at = 0; at < reply.size();) {
    size_t end = reply.find("\r\n", at);
    if (end != at) lines.push_back(reply.substr(at, end - at));
    at = end + 2;
  }
  size_t finals = 0;
  size_t lastFinal = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (IsFinal(lines[i])) {
      ++finals;
      lastFinal = i;
    }
  }
  Check(finals == 1);
  for (size_t i = lastFinal + 1; i < lines.size(); ++i) {
    Check(lines[i].rfind("+CREG: ", 0) == 0 || lines[i].rfind("+CGREG: ", 0) == 0);
  }
}

void CheckSim(const SimCard& sim) {
  Check(sim.pinTriesLeft() >= 0 && sim.pinTriesLeft() <= SimCard::kPinTries);
  Check(sim.pukTriesLeft() >= 0 && sim.pukTriesLeft() <= SimCard::kPukTries);
  if (sim.state() == SimState::kWaitPuk) Check(sim.pinTriesLeft() == 0);
  if (sim.state() == SimState::kBlocked) Check(sim.pukTriesLeft() == 0);
  if (sim.state() == SimState::kWaitPin) Check(sim.lockEnabled());
  Check(IsValidPin(sim.pin()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static const SimState kStates[] = {SimState::kWaitPin, SimState::kWaitPuk, SimState::kReady,
                                     SimState::kAbsent};
  ModemSettings settings;
  settings.state = kStates[data[0] & 3];
  settings.cmee = (data[0] >> 2) % 3;
  settings.echo = (data[0] & 0x10) != 0;
  settings.lock = (data[0] & 0x20) != 0;
  settings.clckBeforePin = (data[0] & 0x40) != 0;
  Modem modem(settings);

  std::string typed;  // the line as the modem keeps it
  size_t longest = 0;
  for (size_t i = 1; i < size; ++i) {
    const char c = static_cast<char>(data[i]);
    const auto modes = modem.modes();
    const bool defaultFraming =
        modes.verbose && !modes.quiet && modes.s3 == '\r' && modes.s4 == '\n';
    const char previous = typed.empty() ? 0 : typed.back();

    modem.Receive(std::string_view(&c, 1), Time(0));
    std::string out = modem.TakeOutput(Time(0));

    if (modes.echo) {
      Check(!out.empty() && out[0] == c);
      out.erase(0, 1);
    }
    const bool endOfLine = c == modes.s3;
    const bool repeat = !endOfLine && c == '/' && (previous == 'A' || previous == 'a');
    if (!endOfLine && !repeat) {
      Check(out.empty());
      // Kept as the modem keeps the line: S5 takes a byte back, other
      // control characters are dropped.
      if (c == modes.s5) {
        if (!typed.empty()) typed.pop_back();
      } else if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7f) {
        typed += c;
      }
      continue;
    }
    if (endOfLine) {
      const bool mayHaveAt = typed.find_first_of("Aa") != std::string::npos &&
                             typed.find_first_of("Tt") != std::string::npos;
      if (!mayHaveAt) Check(out.empty());
    } else if (out.empty()) {
      // A slash inside a line that has begun with "AT" is a character.
      typed += c;
      continue;
    }
    // The line itself may have changed the framing (ATV0, ATS4=1, ATQ1).
    const auto after = modem.modes();
    if (defaultFraming && after.verbose && !after.quiet && after.s3 == '\r' && after.s4 == '\n' &&
        !out.empty()) {
      CheckFraming(out);
    }
    // An answer grows with its line (ATIII... repeats the block), no more;
    // "A/" repeats the longest line at most.
    longest = std::max(longest, typed.size());
    Check(out.size() <= 256 * (longest + 2));
    CheckSim(modem.sim());
    Check(modem.cmee() >= 0 && modem.cmee() <= 2);
    typed.clear();
  }
  return 0;
}
