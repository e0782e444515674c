// A reply read to its end: the lines a modem sent for one command up to its
// final result code, with the echo and the unsolicited lines set apart. The
// looks and the guarded forms judge only complete replies, so a line that
// arrives late, or one the modem sends of its own accord, can never pass for
// the answer.
#pragma once

#include <string>
#include <vector>

namespace tessivo {

enum class FinalResult {
  None,      // no final result code before the time ran out
  Ok,        // "OK"
  Error,     // "ERROR"
  CmeError,  // "+CME ERROR: ..." (or "+CMS ERROR: ...")
};

struct AtReply {
  // The information lines of the answer, lower-cased (Windows-1252), without
  // their line ends and without blank lines; neither the echo of the command
  // nor unsolicited lines nor the final result code are among them.
  std::vector<std::string> lines;
  FinalResult final = FinalResult::None;
  // The final result line lower-cased ("ok", "+cme error: 10"); empty for None.
  std::string finalLine;
  // Whether the command went out (at least one byte of it was written).
  bool written = false;
  // Whether any byte at all came back (the echo included): the modem listens.
  bool heardAnything = false;

  bool Complete() const { return final != FinalResult::None; }
  bool Ok() const { return final == FinalResult::Ok; }
};

// Splits what the modem sent for `command` into an AtReply: drops the echo
// of the command (the first line that equals it, in any case), recognises
// unsolicited lines (RING, ^RSSI, ^SIMST, +CREG:, ...; a "+CPIN:" line
// counts as an answer line, since it may be one) and stops at the first
// final result code. `raw` is the text as received.
// Only lines ended by a carriage return or line feed count: a line cut short
// is still on its way. The result's `written` is left false.
AtReply ParseAtReply(const std::string& raw, const std::string& command);

// Whether a lower-cased line is one a modem sends of its own accord and never
// as the answer to a command Tessivo sends.
bool IsUnsolicitedLine(const std::string& lowerLine);

// Clears every line of a reply to a password command (a garbled echo may sit
// among them) and leaves it empty.
void WipeReply(AtReply& reply);

}  // namespace tessivo
