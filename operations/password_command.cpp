#include "operations/password_command.h"

#include <algorithm>
#include <utility>

#include "modem/commands.h"
#include "modem/modem_port.h"
#include "operations/status_texts.h"
#include "text/cp1252.h"
#include "text/wipe.h"

namespace tessivo {
namespace {

void ShowProgress(SimUnlockDialog& dialog, int stage) {
  dialog.statusText = texts::kProgress[stage - 1];
  dialog.ShowFields();
  dialog.RepaintNow();
}

void ShowOutcome(SimUnlockDialog& dialog, const char* text, bool isError) {
  dialog.statusIsError = isError;
  dialog.statusText = text;
  dialog.ShowFields();
}

// The PIN goes into the command line as typed, so only four ASCII letters or
// digits may pass: anything else is refused like a PIN of the wrong length.
bool PinIsUsable(const std::string& pin) {
  return pin.size() == 4 && IsSafePin(pin);
}

// The service's answer, judged as the serial way judges the modem's reply
// to the same command. A caller the service refused is told what a port
// held by another program tells, and nothing counts as sent.
std::optional<CommandOutcome> RunThroughService(SimUnlockDialog& dialog, ManagedModem& modem,
                                                const PasswordCommand& what) {
  // The serial way's PIN reaches the SIM upper-cased; so it does here.
  std::string upper = ToUpper1252(dialog.pin);
  const ServiceReply reply = what.throughService(modem, upper);
  WipeSecret(upper);
  ShowProgress(dialog, 3);
  ShowProgress(dialog, 4);
  switch (reply) {
    case ServiceReply::Accepted:
      ShowOutcome(dialog, what.acceptedText, false);
      if (what.onAccepted) what.onAccepted(dialog);
      return CommandOutcome::Accepted;
    case ServiceReply::WrongPassword:
      ShowOutcome(dialog, texts::kWrongPin, true);
      return CommandOutcome::WrongPin;
    case ServiceReply::Refused:
      ShowOutcome(dialog, texts::kPortBusy, true);
      return std::nullopt;
    case ServiceReply::WrongState:
    case ServiceReply::NoAnswer:
    case ServiceReply::Unreached:
    case ServiceReply::Failed:
      break;
  }
  ShowOutcome(dialog, texts::kUnexpectedReply, true);
  return CommandOutcome::Unexpected;
}

}  // namespace

std::optional<CommandOutcome> RunPasswordCommand(SimUnlockDialog& dialog,
                                                 const PasswordCommand& what) {
  ModemPort modem(dialog.platform());
  dialog.FetchFields();
  dialog.NormalizePortName();
  ShowProgress(dialog, 1);
  if (!PinIsUsable(dialog.pin)) {
    ShowOutcome(dialog, texts::kPinNotFourCharacters, true);
    return std::nullopt;
  }
  ShowProgress(dialog, 2);
  // The whole operation, probe and command, is this run's alone: another
  // run on the port (the unlock unit, a console form) makes it busy.
  Platform& platform = dialog.platform();
  const auto lock = platform.LockPort(platform.PortLockKey(dialog.portName), 0);
  if (!lock) {
    ShowOutcome(dialog, texts::kPortBusy, true);
    return std::nullopt;
  }

  const ProbeResult state = dialog.ProbeModem(false);
  const auto& allowed = what.allowedStates;
  if (std::find(allowed.begin(), allowed.end(), state) == allowed.end()) {
    dialog.ProbeModem(true);  // tells the user why nothing was sent
    return std::nullopt;
  }
  if (auto managed = ManagedModemAtPort(dialog)) return RunThroughService(dialog, *managed, what);
  if (modem.Open(dialog.portName) != PortOpenResult::Opened) {
    dialog.ProbeModem(true);
    return std::nullopt;
  }

  std::string command = what.formatCommand(dialog.pin);
  ReplyText reply = modem.Transact(command);
  ShowProgress(dialog, 3);
  dialog.platform().Sleep(what.lateReplyWaitMs);
  ReplyText late = modem.CollectMore();
  ShowProgress(dialog, 4);

  // Joined in a buffer of the final size, so no outgrown copy of the echo is
  // freed unwiped; lower-cased in place.
  std::string lower;
  lower.reserve(reply.size() + late.size());
  lower.append(reply).append(late);
  lower = ToLower1252(std::move(lower));
  const CommandOutcome outcome = ClassifyCommandReply(lower, command);
  // The command and the modem's echo of it hold the PIN.
  for (std::string* secret : {&command, &reply, &late, &lower}) WipeSecret(*secret);
  switch (outcome) {
    case CommandOutcome::Accepted:
      ShowOutcome(dialog, what.acceptedText, false);
      if (what.onAccepted) what.onAccepted(dialog);
      break;
    case CommandOutcome::WrongPin:
      ShowOutcome(dialog, texts::kWrongPin, true);
      break;
    case CommandOutcome::Unexpected:
      ShowOutcome(dialog, texts::kUnexpectedReply, true);
      break;
  }
  modem.Close();
  return outcome;
}

}  // namespace tessivo
