#include "modem/at_reply.h"

#include "text/cp1252.h"
#include "text/wipe.h"

namespace tessivo {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string Trimmed(const std::string& text) {
  std::size_t from = 0;
  std::size_t to = text.size();
  while (from < to && IsBlank(text[from])) ++from;
  while (to > from && IsBlank(text[to - 1])) --to;
  return text.substr(from, to - from);
}

bool StartsWith(const std::string& text, const char* prefix) {
  return text.rfind(prefix, 0) == 0;
}

// "+cpinr" of "at+cpinr=\"sim pin\"", "^cpin" of "at^cpin?": the name its
// answer lines begin with. Empty for a command without one (at, atz, at+cgmi
// answers with plain text).
std::string AnswerName(const std::string& lowerCommand) {
  if (!StartsWith(lowerCommand, "at") || lowerCommand.size() < 3) return {};
  const char lead = lowerCommand[2];
  if (lead != '+' && lead != '^' && lead != '$' && lead != '%') return {};
  std::size_t end = 3;
  while (end < lowerCommand.size() && lowerCommand[end] != '=' && lowerCommand[end] != '?') ++end;
  return lowerCommand.substr(2, end - 2);
}

bool IsAnswerTo(const std::string& line, const std::string& answerName) {
  return !answerName.empty() && StartsWith(line, answerName.c_str()) &&
         line.size() > answerName.size() && line[answerName.size()] == ':';
}

}  // namespace

bool IsUnsolicitedLine(const std::string& line) {
  // The makers' own reports (^RSSI, ^SIMST, ^BOOT, ^MODE, ...) all begin
  // with a caret; the standard ones have fixed names.
  static const char* const kUnsolicited[] = {
      "ring",     "+cring:", "+clip:",  "+creg:",  "+cgreg:", "+cereg:", "+cmti:",
      "+cds:",    "+cusd:",  "+cgev:",  "+ciev:",  "+qind:",  "+qusim:", "+zpbic:",
      "+pacsp",   "+stin:",  "+cmt:",   "+cbm:",   "+ctzv:",  "+nitz",   "+zend",
      "+zusim:",  "+qstk",   "+cpsi:",  "+csq:",   "+ecsq:",  "+cgdcont:"};
  if (StartsWith(line, "^")) return true;
  for (const char* prefix : kUnsolicited) {
    if (StartsWith(line, prefix)) return true;
  }
  return false;
}

AtReply ParseAtReply(const std::string& raw, const std::string& command) {
  AtReply reply;
  reply.heardAnything = !raw.empty();
  const std::string echo = Trimmed(ToLower1252(command));
  const std::string answerName = AnswerName(echo);
  bool echoSeen = false;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = raw.find_first_of("\r\n", start);
    if (end == std::string::npos) break;  // the rest is still on its way
    std::string line = Trimmed(ToLower1252(raw.substr(start, end - start)));
    start = end + 1;
    if (line.empty()) continue;
    if (!echoSeen && reply.lines.empty() && line == echo) {
      echoSeen = true;
      continue;
    }
    if (line == "ok") {
      reply.final = FinalResult::Ok;
    } else if (line == "error") {
      reply.final = FinalResult::Error;
    } else if (StartsWith(line, "+cme error") || StartsWith(line, "+cms error")) {
      reply.final = FinalResult::CmeError;
    }
    if (reply.final != FinalResult::None) {
      reply.finalLine = std::move(line);
      break;
    }
    if (IsUnsolicitedLine(line) && !IsAnswerTo(line, answerName)) continue;
    reply.lines.push_back(std::move(line));
  }
  return reply;
}

void WipeReply(AtReply& reply) {
  for (std::string& line : reply.lines) WipeSecret(line);
  reply.lines.clear();
  WipeSecret(reply.finalLine);
}

}  // namespace tessivo
