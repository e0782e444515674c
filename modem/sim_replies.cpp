#include "modem/sim_replies.h"

#include "modem/reply_fields.h"
#include "modem/reply_text.h"

namespace tessivo {
namespace {

// The text of the first line that begins with `prefix` (leading white space
// and the line end ignored), without the prefix; nothing when no line does.
std::optional<std::string> LineAfter(const std::string& reply, const std::string& prefix) {
  std::size_t start = 0;
  while (start <= reply.size()) {
    std::size_t end = reply.find_first_of("\r\n", start);
    if (end == std::string::npos) end = reply.size();
    std::size_t first = start;
    while (first < end && IsBlank(reply[first])) ++first;
    if (reply.compare(first, prefix.size(), prefix) == 0 && first + prefix.size() <= end) {
      std::size_t from = first + prefix.size();
      std::size_t to = end;
      while (from < to && IsBlank(reply[from])) ++from;
      while (to > from && IsBlank(reply[to - 1])) --to;
      return reply.substr(from, to - from);
    }
    start = end + 1;
  }
  return std::nullopt;
}

// "+cme error: <code>" with exactly that number, not one that begins with it.
bool HasCmeCode(const std::string& reply, const std::string& code) {
  const std::string prefix = "+cme error:";
  for (std::size_t at = reply.find(prefix); at != std::string::npos;
       at = reply.find(prefix, at + 1)) {
    std::size_t p = at + prefix.size();
    while (p < reply.size() && IsBlank(reply[p])) ++p;
    if (reply.compare(p, code.size(), code) != 0) continue;
    const std::size_t after = p + code.size();
    if (after == reply.size() || !IsDigit(reply[after])) return true;
  }
  return false;
}

}  // namespace

SimState SimStateFromReply(const std::string& lowerReply) {
  // An error anywhere makes the answer doubtful, whatever else it holds.
  if (Contains(lowerReply, "error")) return SimState::NotReady;
  const auto state = LineAfter(lowerReply, "+cpin:");
  if (!state) return SimState::NotReady;
  if (*state == "sim pin") return SimState::WaitingForPin;
  if (*state == "sim puk") return SimState::WaitingForPuk;
  if (*state == "ready") return SimState::Ready;
  // PIN2, PUK2, the phone and network locks: nothing Tessivo may answer.
  return SimState::NotReady;
}

SimState SimStateFromAnswer(const AtReply& answer) {
  if (!answer.Ok()) return SimState::NotReady;
  std::optional<SimState> seen;
  for (const std::string& line : answer.lines) {
    if (line.rfind("+cpin:", 0) != 0) continue;
    const SimState state = SimStateFromReply(line);
    if (seen && *seen != state) return SimState::NotReady;
    seen = state;
  }
  return seen.value_or(SimState::NotReady);
}

std::optional<unsigned> PinTriesFromReply(const std::string& lowerReply) {
  if (Contains(lowerReply, "error")) return std::nullopt;
  const auto line = LineAfter(lowerReply, "+cpinr:");
  if (!line) return std::nullopt;
  // "sim pin,<left>,<max>", maybe with the code quoted.
  std::string rest = *line;
  const std::string code = rest.compare(0, 1, "\"") == 0 ? "\"sim pin\"" : "sim pin";
  if (rest.compare(0, code.size(), code) != 0) return std::nullopt;
  std::size_t p = code.size();
  while (p < rest.size() && IsBlank(rest[p])) ++p;
  if (p >= rest.size() || rest[p] != ',') return std::nullopt;
  ++p;
  while (p < rest.size() && IsBlank(rest[p])) ++p;
  unsigned tries = 0;
  std::size_t digits = 0;
  for (; p < rest.size() && IsDigit(rest[p]) && digits < 3; ++p, ++digits) {
    tries = tries * 10 + static_cast<unsigned>(rest[p] - '0');
  }
  const bool ends = p == rest.size() || rest[p] == ',' || IsBlank(rest[p]);
  if (digits == 0 || !ends) return std::nullopt;
  return tries;
}

bool SaysSimNotReady(const std::string& lowerReply) {
  if (!Contains(lowerReply, "error")) return false;
  return Contains(lowerReply, "sim busy") || Contains(lowerReply, "not ready") ||
         HasCmeCode(lowerReply, "14");
}

}  // namespace tessivo
