// The frame shared by the three operations that send the PIN to the modem
// ("PIN senden" and both directions of the PIN-request switch): progress
// dots, the PIN check, a silent probe that must find the SIM in the state the
// command needs, the command itself with a late-reply wait, and the judgement
// of the reply. Each operation fills in what differs.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "operations/reply_classification.h"
#include "platform/modem_service.h"
#include "ui/sim_unlock_dialog.h"

namespace tessivo {

struct PasswordCommand {
  std::vector<ProbeResult> allowedStates;  // what the silent probe must find
  std::string (*formatCommand)(const std::string& pin);
  unsigned lateReplyWaitMs;  // before collecting the rest
  const char* acceptedText;
  // What else an accepted command changes, while the port is still open.
  void (*onAccepted)(SimUnlockDialog& dialog);
  // The same command where a service manages the modem.
  ServiceReply (*throughService)(ManagedModem& modem, const std::string& pin);
};

// The modem a service manages behind the dialog's port, or nothing: then
// the operations open the port themselves.
std::unique_ptr<ManagedModem> ManagedModemAtPort(SimUnlockDialog& dialog);

// Runs the frame; returns the outcome, or nothing when the command was never
// sent (PIN refused, SIM in another state, port not to be opened: the status
// area already says why). The port is closed again before it returns.
std::optional<CommandOutcome> RunPasswordCommand(SimUnlockDialog& dialog,
                                                 const PasswordCommand& what);

}  // namespace tessivo
