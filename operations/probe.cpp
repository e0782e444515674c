// The modem state probe, and the "Modem testen" button that runs it.
#include "modem/commands.h"
#include "modem/modem_port.h"
#include "operations/password_command.h"
#include "operations/reply_classification.h"
#include "operations/status_texts.h"
#include "text/cp1252.h"
#include "ui/sim_unlock_dialog.h"

namespace tessivo {
namespace {

struct ProbeReport {
  const char* text;
  bool isError;
};

ProbeReport ReportFor(ProbeResult result) {
  switch (result) {
    case ProbeResult::PortNotFound:
      return {texts::kPortNotFound, true};
    case ProbeResult::PortBusy:
      return {texts::kPortBusy, true};
    case ProbeResult::PortFaulty:
      return {texts::kPortFaulty, true};
    case ProbeResult::PukRequired:
      return {texts::kPukRequired, true};
    case ProbeResult::PinRequired:
      return {texts::kPinRequired, false};
    case ProbeResult::Unlocked:
      return {texts::kUnlocked, false};
    // Not a failure, but shown in the error colours so the user notices
    // that the SIM is open to anyone.
    case ProbeResult::PinRequestOff:
      return {texts::kPinRequestOff, true};
    case ProbeResult::NoModem:
      break;
  }
  return {texts::kNoModem, true};
}

// The service's report, read as the serial way reads the modem's answers
// for a SIM in the same state.
ProbeResult FromService(ServiceSimState state) {
  switch (state) {
    case ServiceSimState::PinRequired:
      return ProbeResult::PinRequired;
    case ServiceSimState::PukRequired:
      return ProbeResult::PukRequired;
    case ServiceSimState::Unlocked:
      return ProbeResult::Unlocked;
    case ServiceSimState::PinRequestOff:
      return ProbeResult::PinRequestOff;
    case ServiceSimState::NoSim:
    case ServiceSimState::NoAnswer:
      break;
  }
  return ProbeResult::NoModem;
}

ProbeResult AskTheSim(ModemPort& modem) {
  modem.Transact(kResetCommand);  // only brings the modem to its defaults
  const ProbeResult lock = ClassifyLockQueryReply(ToLower1252(modem.Transact(kLockQueryCommand)));
  if (lock == ProbeResult::PinRequestOff) return lock;
  return ClassifyPinQueryReply(ToLower1252(modem.Transact(kPinQueryCommand)));
}

// The button offers the opposite of the state the probe saw; for states in
// which switching makes no sense it is disabled and SwitchMode kept, which a
// disabled button cannot act on.
void SetSwitchButton(SimUnlockDialog& dialog, ProbeResult result) {
  switch (result) {
    case ProbeResult::PinRequestOff:
      dialog.switchButton.EnableWindow(true);
      dialog.switchButton.SetWindowText(texts::kSwitchOn);
      dialog.SwitchMode = 1;
      break;
    case ProbeResult::PinRequired:
    case ProbeResult::Unlocked:
      dialog.switchButton.EnableWindow(true);
      dialog.switchButton.SetWindowText(texts::kSwitchOff);
      dialog.SwitchMode = 2;
      break;
    default:
      dialog.switchButton.EnableWindow(false);
      dialog.switchButton.SetWindowText(texts::kSwitchUnavailable);
      break;
  }
}

// A probe's result in the status area and on the switch button.
void ShowReport(SimUnlockDialog& dialog, ProbeResult result) {
  const ProbeReport shown = ReportFor(result);
  dialog.statusText = shown.text;
  dialog.statusIsError = shown.isError;
  dialog.ShowFields();
  SetSwitchButton(dialog, result);
}

}  // namespace

std::unique_ptr<ManagedModem> ManagedModemAtPort(SimUnlockDialog& dialog) {
  ModemService* service = dialog.platform().ManagingService();
  return service ? service->ModemAt(dialog.portName) : nullptr;
}

ProbeResult SimUnlockDialog::ProbeModem(bool report) {
  if (report) FetchFields();

  ModemPort modem(platform());
  ProbeResult result;
  if (auto managed = ManagedModemAtPort(*this)) {
    result = FromService(managed->SimState());
  } else {
    const PortOpenResult opened = modem.Open(portName);
    result = opened == PortOpenResult::Opened ? AskTheSim(modem)
                                              : static_cast<ProbeResult>(static_cast<int>(opened));
  }
  modem.Close();

  if (report) {
    ShowReport(*this, result);
  } else {
    SetSwitchButton(*this, result);
  }
  return result;
}

void SimUnlockDialog::TestModem() {
  FetchFields();
  statusText.clear();
  statusIsError = false;
  ShowFields();
  NormalizePortName();  // shows the emptied status and the corrected name at once
  // Another run on the port (the unlock unit, a console form) has it for
  // now: busy, as when another program holds it.
  const auto lock = platform().LockPort(platform().PortLockKey(portName), 0);
  if (!lock) {
    ShowReport(*this, ProbeResult::PortBusy);
    return;
  }
  ProbeModem(true);
}

}  // namespace tessivo
