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

void SwitchAccepted(SimUnlockDialog& dialog, const char* caption, int32_t nextMode) {
  dialog.switchButton.SetWindowText(caption);
  dialog.SwitchMode = nextMode;
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
  const auto outcome = RunPasswordCommand(*this, {{ProbeResult::PinRequestOff},
                                                  EnableLockCommand,
                                                  kLockLateReplyWaitMs,
                                                  texts::kLockSwitchedOn});
  if (outcome == CommandOutcome::Accepted) {
    SwitchAccepted(*this, texts::kSwitchOff, kSwitchWillDisable);
  }
}

void SimUnlockDialog::DisablePinRequest() {
  const auto outcome = RunPasswordCommand(*this, {{ProbeResult::PinRequired, ProbeResult::Unlocked},
                                                  DisableLockCommand,
                                                  kLockLateReplyWaitMs,
                                                  texts::kLockSwitchedOff});
  if (outcome == CommandOutcome::Accepted) {
    SwitchAccepted(*this, texts::kSwitchOn, kSwitchWillEnable);
  }
}

}  // namespace tessivo
