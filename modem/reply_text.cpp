#include "modem/reply_text.h"

#include "text/cp1252.h"

namespace tessivo {

std::string WithoutEcho(const std::string& lowerReply, const std::string& command) {
  std::string reply = lowerReply;
  const std::string echo = ToLower1252(command);
  if (echo.empty()) return reply;
  const std::size_t at = reply.find(echo);
  if (at != std::string::npos) reply.erase(at, echo.size());
  return reply;
}

bool IsAccepted(const std::string& lowerReply, const std::string& command) {
  const std::string reply = WithoutEcho(lowerReply, command);
  return Contains(reply, "ok") && !Contains(reply, "error");
}

}  // namespace tessivo
