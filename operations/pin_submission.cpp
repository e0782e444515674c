// "PIN senden": submits the PIN to a SIM that waits for it, and tells the
// outcome in the status area and by the speaker.
#include "modem/commands.h"
#include "operations/password_command.h"
#include "operations/status_texts.h"
#include "platform/signals.h"
#include "ui/sim_unlock_dialog.h"

namespace tessivo {
namespace {

constexpr unsigned kPinLateReplyWaitMs = 500;

ServiceReply SendThroughService(ManagedModem& modem, const std::string& pin) {
  return modem.SendPin(pin);
}

}  // namespace

void SimUnlockDialog::SendPin() {
  const auto outcome = RunPasswordCommand(
      *this,
      {{ProbeResult::PinRequired}, PinCommand, kPinLateReplyWaitMs, texts::kPinAccepted, nullptr,
       SendThroughService});
  // No signal when nothing was sent: the status area explains that case.
  if (!outcome) return;
  if (*outcome == CommandOutcome::Accepted) {
    SignalSuccess(platform());
  } else {
    SignalFailure(platform());
  }
}

}  // namespace tessivo
