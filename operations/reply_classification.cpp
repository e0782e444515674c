#include "operations/reply_classification.h"

#include <algorithm>

#include "modem/reply_text.h"
#include "text/cp1252.h"

namespace tessivo {

ProbeResult ClassifyLockQueryReply(const std::string& lowerReply) {
  if (Contains(lowerReply, "clck: 0") && !Contains(lowerReply, "error")) {
    return ProbeResult::PinRequestOff;
  }
  return ProbeResult::NoModem;
}

// An echoing modem repeats "at+cpin?", which holds "pin": a reply of echo and
// OK alone therefore reads as a SIM waiting for its PIN, as intended.
ProbeResult ClassifyPinQueryReply(const std::string& lowerReply) {
  const bool error = Contains(lowerReply, "error");
  if (error) return ProbeResult::NoModem;
  if (Contains(lowerReply, "puk")) return ProbeResult::PukRequired;
  if (Contains(lowerReply, "pin") && !Contains(lowerReply, "ready")) {
    return ProbeResult::PinRequired;
  }
  if (Contains(lowerReply, "ready")) return ProbeResult::Unlocked;
  return ProbeResult::NoModem;
}

CommandOutcome ClassifyCommandReply(const std::string& lowerReply, const std::string& command) {
  if (IsAccepted(lowerReply, command)) return CommandOutcome::Accepted;
  const std::string reply = WithoutEcho(lowerReply, command);
  if (Contains(reply, "error") && Contains(reply, "incorrect")) return CommandOutcome::WrongPin;
  return CommandOutcome::Unexpected;
}

std::string NormalizedPortName(const std::string& name) {
  const std::string upper = ToUpper1252(name);
  // The first digit anywhere starts the number. Larger numbers than any port
  // could have are capped, so an absurd run of digits cannot overflow.
  constexpr long kBeyondAnyPort = 1000;
  long n = 1;
  const std::size_t first = upper.find_first_of("0123456789");
  if (first != std::string::npos) {
    n = 0;
    for (std::size_t i = first; i < upper.size() && upper[i] >= '0' && upper[i] <= '9'; ++i) {
      n = std::min(kBeyondAnyPort, n * 10 + (upper[i] - '0'));
    }
  }
  const bool inRange = n >= 1 && n <= 99;
  if (upper.compare(0, 3, "COM") == 0 && inRange) return upper;
  return inRange ? "COM" + std::to_string(n) : "COM1";
}

}  // namespace tessivo
