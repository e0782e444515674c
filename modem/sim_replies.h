// How Tessivo reads the SIM's state, its PIN tries and a "not ready yet" out
// of the modem's replies. Every function takes the reply already lower-cased
// (Windows-1252) and with the echo of its command removed (WithoutEcho), so
// the echo "at+cpin?" can never pass for the modem's own "+CPIN:" line.
#pragma once

#include <optional>
#include <string>

#include "modem/at_reply.h"

namespace tessivo {

// What the answer to AT+CPIN? says.
enum class SimState {
  WaitingForPin,  // "+CPIN: SIM PIN"
  WaitingForPuk,  // "+CPIN: SIM PUK"
  Ready,          // "+CPIN: READY": unlocked, or the PIN request is off
  NotReady,       // anything else: busy, starting, an error, another code,
                  // or an answer without a "+CPIN:" line (a bare OK too)
};

SimState SimStateFromReply(const std::string& lowerReply);

// The same from a reply read to its end: only an answer ended by OK counts,
// and only when every "+CPIN:" line in it names the same state (a modem may
// report a change of its own accord in the middle of an answer: which one is
// true cannot be told, so the caller looks again).
SimState SimStateFromAnswer(const AtReply& answer);

// The PIN tries left from "+CPINR: SIM PIN,<left>,<max>"; nothing when the
// reply holds no such line (the modem does not know the command, or says
// ERROR).
std::optional<unsigned> PinTriesFromReply(const std::string& lowerReply);

// Whether an error reply says the SIM is busy or not ready yet, verbose
// ("+CME ERROR: SIM busy", "... SIM not ready") or numeric
// ("+CME ERROR: 14"): the command was not carried out and used up no try.
bool SaysSimNotReady(const std::string& lowerReply);

}  // namespace tessivo
