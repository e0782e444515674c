#include "app/console_mode.h"

#include <memory>

#include "modem/commands.h"
#include "modem/modem_port.h"
#include "modem/sim_replies.h"
#include "platform/signals.h"
#include "text/cp1252.h"
#include "text/wipe.h"

namespace tessivo {
namespace {

constexpr unsigned kLateReplyWaitMs = 500;
constexpr std::size_t kPinLength = 4;
constexpr auto npos = std::string::npos;
// The console form does not wait for another run on its port: the port is
// busy, as when another program holds it, and nothing is sent.
constexpr unsigned kConsoleLockWaitMs = 0;

// Through the service that manages the modem: the PIN goes only to a SIM
// that waits for it, as the serial way's modem refuses it in every other
// state; a refusal of the caller is a refused port.
ConsoleOutcome SubmitThroughService(ManagedModem& modem, const std::string& pin) {
  const ServiceSimState state = modem.SimState();
  if (state == ServiceSimState::NoAnswer) return ConsoleOutcome::NoAnswer;
  if (state != ServiceSimState::PinRequired) return ConsoleOutcome::NotAccepted;
  // The serial way's command line goes out upper-cased, letters in the PIN
  // included; the same PIN must reach the SIM here.
  std::string upper = ToUpper1252(pin);
  const ServiceReply reply = modem.SendPin(upper);
  WipeSecret(upper);
  return OutcomeOfServiceReply(reply);
}

}  // namespace

ConsoleOutcome OutcomeOfFailedOpen(PortOpenResult result) {
  switch (result) {
    case PortOpenResult::NotFound:
      return ConsoleOutcome::PortNotFound;
    case PortOpenResult::Busy:
      return ConsoleOutcome::PortBusy;
    default:
      return ConsoleOutcome::PortFaulty;
  }
}

ConsoleOutcome OutcomeOfServiceReply(ServiceReply reply) {
  switch (reply) {
    case ServiceReply::Accepted:
      return ConsoleOutcome::Accepted;
    case ServiceReply::Refused:
      return ConsoleOutcome::PortBusy;
    case ServiceReply::NoAnswer:
      // The service had the password and may still send it.
      return ConsoleOutcome::SentNoAnswer;
    case ServiceReply::Unreached:
      return ConsoleOutcome::NoAnswer;
    case ServiceReply::WrongPassword:
    case ServiceReply::WrongState:
    case ServiceReply::Failed:
      break;
  }
  return ConsoleOutcome::NotAccepted;
}

ConsoleOutcome SubmitPin(Platform& platform, const std::string& port, const std::string& pin,
                         unsigned serviceBoundMs, bool modemListened) {
  if (ModemService* service = platform.ManagingService()) {
    std::unique_ptr<ManagedModem> managed;
    switch (service->Find(port, serviceBoundMs, managed)) {
      case ServiceLookup::Managed:
        return SubmitThroughService(*managed, pin);
      case ServiceLookup::NoAnswer:
        // ModemManager may manage the port: the serial way would go behind
        // its back, and leave its count of the tries wrong.
        return ConsoleOutcome::NoAnswer;
      case ServiceLookup::NotManaged:
        break;
    }
  }
  ModemPort modem(platform);
  const PortOpenResult opened = modem.Open(port);
  if (opened != PortOpenResult::Opened) return OutcomeOfFailedOpen(opened);

  std::string command = "AT+CPIN=" + pin;
  ReplyText answer = modem.Transact(command);
  platform.Sleep(kLateReplyWaitMs);
  ReplyText late = modem.CollectMore();
  modem.Close();

  // The sentinels hold no word searched for, so joined with a late reply
  // they judge like an empty answer.
  const bool silent =
      answer == ReplyNothingWritten || (answer == ReplyNothingReceived && late.empty());
  std::string joined = silent ? std::string() : ToLower1252(answer + late);
  std::string own = WithoutEcho(joined, command);
  const bool written = answer != ReplyNothingWritten;
  const ConsoleOutcome outcome =
      silent && written && modemListened             ? ConsoleOutcome::SentNoAnswer
      : silent                                       ? ConsoleOutcome::NoAnswer
      : IsAccepted(joined, command)                  ? ConsoleOutcome::Accepted
      : SaysSimNotReady(own)                         ? ConsoleOutcome::SimNotReady
      : own.find_first_not_of(" \t\r\n") == npos ? ConsoleOutcome::SentNoAnswer
                                                     : ConsoleOutcome::NotAccepted;
  // The command and the modem's echo of it hold the PIN.
  for (std::string* secret : {&command, &answer, &late, &joined, &own}) WipeSecret(*secret);
  return outcome;
}

bool IsConsolePin(const std::string& pin) {
  return pin.size() == kPinLength && IsSafePin(pin);
}

int ExitStatusFor(ConsoleOutcome outcome) {
  switch (outcome) {
    case ConsoleOutcome::Accepted:
      return 0;
    case ConsoleOutcome::NotAccepted:
      return 1;
    case ConsoleOutcome::PortNotFound:
      return 3;
    case ConsoleOutcome::PortBusy:
      return 4;
    case ConsoleOutcome::PortFaulty:
      return 5;
    case ConsoleOutcome::UnsafePin:
      return 6;
    case ConsoleOutcome::NoAnswer:
      return 7;
    case ConsoleOutcome::SimNotReady:
      return 8;
    case ConsoleOutcome::LastTryKept:
      return 9;
    case ConsoleOutcome::SentNoAnswer:
      return 10;
  }
  return 1;
}

ConsoleOutcome RunConsoleMode(Platform& platform, const std::string& port, const std::string& pin) {
  // The length matters for a PIN read from standard input; one from the
  // command line has passed the form test already.
  ConsoleOutcome outcome = ConsoleOutcome::UnsafePin;
  if (IsConsolePin(pin)) {
    // Another run on the same port (a --wait at boot, the dialog) makes it a
    // busy one, so two PINs never race to one SIM.
    auto lock = platform.LockPort(platform.PortLockKey(port), kConsoleLockWaitMs);
    outcome = lock ? SubmitPin(platform, port, pin) : ConsoleOutcome::PortBusy;
  }
  if (outcome == ConsoleOutcome::Accepted) {
    SignalSuccess(platform);
  } else {
    SignalFailure(platform);
  }
  return outcome;
}

}  // namespace tessivo
