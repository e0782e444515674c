// Everything the modem sent for one command, and the two sentinel answers
// that stand in for it when an exchange fails. The sentinels hold none of the
// words that callers search for ("ok", "error", "pin", ...).
#pragma once

#include <string>

namespace tessivo {

using ReplyText = std::string;

inline const ReplyText ReplyNothingWritten = "|1";   // not one command byte went out
inline const ReplyText ReplyNothingReceived = "|2";  // written, but nothing came back

// A reply test: a case-sensitive substring search in an already lower-cased
// reply.
inline bool Contains(const std::string& lowerReply, const char* word) {
  return lowerReply.find(word) != std::string::npos;
}

// The lower-cased reply with the modem's echo of the command removed (the
// first occurrence of the lower-cased command, without its carriage return).
// Callers that judge a password command use this, so that letters inside the
// echoed password ("1ok2") can never pass for the modem's own "OK".
std::string WithoutEcho(const std::string& lowerReply, const std::string& command);

// Whether a password command's lower-cased reply says the modem took it:
// "ok" and no "error" once the echo is gone. An error text that happens to
// hold the letters ("broken", "token"), an "O" and "K" joined around a
// dropped NUL after an ERROR, or a second echo of a password "okok" before
// the error must never pass for the modem's own OK.
bool IsAccepted(const std::string& lowerReply, const std::string& command);

}  // namespace tessivo
