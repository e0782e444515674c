// How the SIM operations read the modem's replies. Every test is a
// case-sensitive substring search in the lower-cased reply.
#pragma once

#include <string>

#include "ui/sim_unlock_dialog.h"

namespace tessivo {

// The lock query: PinRequestOff when the PIN request is off, else NoModem
// (meaning: ask the SIM which password it waits for).
ProbeResult ClassifyLockQueryReply(const std::string& lowerReply);

// The question which password the SIM waits for.
ProbeResult ClassifyPinQueryReply(const std::string& lowerReply);

enum class CommandOutcome { Accepted, WrongPin, Unexpected };

// A PIN or lock command's reply, judged without the modem's echo of the
// command, so that a password holding "ok" cannot pass for the result code.
CommandOutcome ClassifyCommandReply(const std::string& lowerReply, const std::string& command);

// The port name the user meant: "COM" and a number from 1 to 99, rebuilt
// from the first number in the text where the text is not of that form.
std::string NormalizedPortName(const std::string& name);

}  // namespace tessivo
