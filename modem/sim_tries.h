// The PIN and PUK tries the SIM has left, read in the dialect of the stick at
// hand. Every query here only asks: none carries a password, and the two
// APDUs sent through AT+CSIM (VERIFY and RESET RETRY COUNTER without data)
// make the card tell its counter without using up a try.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "modem/at_reply.h"

namespace tessivo {

struct SimTries {
  std::optional<unsigned> pin;  // nothing: unknown
  std::optional<unsigned> puk;
  // False when a question got no whole answer in time: the modem does tell,
  // but slowly, so nothing is known and the caller asks again later rather
  // than take the count for unknown.
  bool answered = true;
};

// The queries, as ModemPort sends them (upper-cased on the wire).
inline const std::string kMakerQuery = "at+cgmi";
inline const std::string k3gppTriesQuery = "at+cpinr";
inline const std::string k3gppPinTriesQuery = "at+cpinr=\"sim pin\"";
inline const std::string k3gppPukTriesQuery = "at+cpinr=\"sim puk\"";
inline const std::string kHuaweiTriesQuery = "at^cpin?";
inline const std::string kZteTriesQuery = "at+zpinpuk=?";
inline const std::string kQuectelTriesQuery = "at+qpinc?";
inline const std::string kCsimPinTriesQuery = "at+csim=10,\"0020000100\"";
inline const std::string kCsimPukTriesQuery = "at+csim=10,\"002c000100\"";

// One exchange: sends the command, returns the reply read to its end.
using AskModem = std::function<AtReply(const std::string& command)>;

// Asks the maker (AT+CGMI) and then the dialects in this order: the maker's
// own (Huawei, ZTE or Quectel) when it is one of those, 3GPP's AT+CPINR
// (with "SIM PIN" and "SIM PUK" asked one by one when the bare command is
// refused), then the card itself through AT+CSIM. Stops at the first dialect
// that tells a count; what it does not tell stays unknown. Stops as well
// when the modem sends nothing at all: it has gone quiet, and more questions
// would only wait out their time.
SimTries ReadSimTries(const AskModem& ask);

// The readers of one dialect's reply each. Only a complete reply ending in
// OK counts; a count that cannot be right (above 10, 255, negative, not a
// number) is unknown.
//   +cpinr: sim pin,3,3 / +cpinr: sim puk,10,10   (other codes' lines ignored)
SimTries TriesFrom3gpp(const AtReply& reply);
//   ^cpin: <code>,[<times>],<puk>,<pin>,<puk2>,<pin2>
SimTries TriesFromHuawei(const AtReply& reply);
//   +zpinpuk: <pin>,<puk>
SimTries TriesFromZte(const AtReply& reply);
//   +qpinc: "sc",<pin>,<puk>   (the "p2" line ignored)
SimTries TriesFromQuectel(const AtReply& reply);
//   +csim: 4,"63cx": x tries left; any other status word tells nothing
std::optional<unsigned> TriesFromCsim(const AtReply& reply);

}  // namespace tessivo
