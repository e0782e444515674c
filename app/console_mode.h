// Console mode: submit the PIN on the given port without showing anything;
// the speaker and the exit status tell the outcome.
#pragma once

#include <string>

#include "platform/platform.h"

namespace tessivo {

// What a console-mode run found, one value per exit status, so a script can
// tell "do not retry, a PIN try may be gone" from "the port is not there yet".
enum class ConsoleOutcome {
  Accepted,      // the modem took the PIN
  NotAccepted,   // the modem answered, but not with acceptance
  PortNotFound,  // no such port
  PortBusy,      // held by another program, or access refused
  PortFaulty,    // could not be opened for another reason
  UnsafePin,     // not four ASCII letters or digits: never sent, port untouched
  NoAnswer,      // nothing could be written, or nothing came back at all
  SimNotReady,   // the SIM was busy or not ready: nothing used up, try again
  LastTryKept,   // only one PIN try left, so the PIN was not sent
  SentNoAnswer,  // the PIN (or PUK) went out to a modem that was there, and
                 // no answer came: a try may be gone, do not retry blindly
};

// The process exit status for an outcome: 0 for Accepted, 1 and 3 to 10 for
// the failures (2 is the start that could show no dialog).
int ExitStatusFor(ConsoleOutcome outcome);

// A port that did not open, as the console forms report it.
ConsoleOutcome OutcomeOfFailedOpen(PortOpenResult result);

// What the managing service answered to a password, as the console forms
// report it: a refusal of the caller is a refused port; a password it took
// and did not answer may still reach the SIM (SentNoAnswer); one it never
// took sent nothing (NoAnswer).
ConsoleOutcome OutcomeOfServiceReply(ServiceReply reply);

// Whether a PIN may be sent in console form: four ASCII letters or digits.
bool IsConsolePin(const std::string& pin);

// The exchange alone, without the signal and without checking the PIN: opens
// the port, sends "AT+CPIN=<pin>", collects the reply (also what comes late)
// and closes the port. A reply saying the SIM is busy or not ready is
// SimNotReady, as no try was used up. A modem that echoed the command and
// then said nothing gives SentNoAnswer: the PIN reached it.
// Where the platform's managing service may manage the port, its questions
// are bounded by serviceBoundMs; a service that does not answer them gives
// NoAnswer with nothing sent, never the serial way behind its back. A caller
// whose modem has answered before in this run (modemListened) gets
// SentNoAnswer, not NoAnswer, when the PIN went out and nothing came back.
ConsoleOutcome SubmitPin(Platform& platform, const std::string& port, const std::string& pin,
                         unsigned serviceBoundMs = kServiceQuestionMs,
                         bool modemListened = false);

// Opens the port, sends "AT+CPIN=<pin>", collects the reply (also what comes
// late), closes the port and gives exactly one signal: success for Accepted,
// failure for every other outcome. Where the platform's managing service
// (ModemManager) manages the port, the PIN goes to it instead, and only to a
// SIM that waits for it; its answers map to the same outcomes.
ConsoleOutcome RunConsoleMode(Platform& platform, const std::string& port, const std::string& pin);

}  // namespace tessivo
