// The PIN-request switch button: turns the SIM's PIN request on or off with
// the PIN as password. Its caption always offers the opposite of the state
// last seen.
#include "modem/commands.h"
#include "operations/password_command.h"
#include "operations/status_texts.h"
#include "ui/sim_unlock_dialog.h"

namespace tessivo {
namespace {

constexpr unsigned kLockLateReplyWaitMs = 800;
constexpr int32_t kSwitchWillEnable = 1;
constexpr int32_t kSwitchWillDisable = 2;

// An accepted switch turns the caption and what the next press does.
void NowWillDisable(SimUnlockDialog& dialog) {
  dialog.switchButton.SetWindowText(texts::kSwitchOff);
  dialog.SwitchMode = kSwitchWillDisable;
}

void NowWillEnable(SimUnlockDialog& dialog) {
  dialog.switchButton.SetWindowText(texts::kSwitchOn);
  dialog.SwitchMode = kSwitchWillEnable;
}

ServiceReply SwitchOnThroughService(ManagedModem& modem, const std::string& pin) {
  return modem.SwitchPinRequest(pin, true);
}

ServiceReply SwitchOffThroughService(ManagedModem& modem, const std::string& pin) {
  return modem.SwitchPinRequest(pin, false);
}

}  // namespace

// SwitchMode 0 (nothing) never reaches here in practice: the button is
// disabled until a probe sets 1 or 2.
void SimUnlockDialog::TogglePinRequest() {
  if (SwitchMode == kSwitchWillEnable) {
    EnablePinRequest();
  } else if (SwitchMode == kSwitchWillDisable) {
    DisablePinRequest();
  }
}

void SimUnlockDialog::EnablePinRequest() {
  RunPasswordCommand(*this, {{ProbeResult::PinRequestOff},
                             EnableLockCommand,
                             kLockLateReplyWaitMs,
                             texts::kLockSwitchedOn,
                             NowWillDisable,
                             SwitchOnThroughService});
}

void SimUnlockDialog::DisablePinRequest() {
  RunPasswordCommand(*this, {{ProbeResult::PinRequired, ProbeResult::Unlocked},
                             DisableLockCommand,
                             kLockLateReplyWaitMs,
                             texts::kLockSwitchedOff,
                             NowWillEnable,
                             SwitchOffThroughService});
}

}  // namespace tessivo
