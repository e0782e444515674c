#include "app/wait_mode.h"

#include <algorithm>
#include <memory>

#include "modem/commands.h"
#include "modem/modem_port.h"
#include "modem/reply_text.h"
#include "platform/signals.h"
#include "text/cp1252.h"

namespace tessivo {
namespace {

// Looks start about this far apart; a look that took longer (a silent modem
// takes almost 3 s) is followed at once by the next.
constexpr std::int64_t kLookIntervalMs = 1000;

SimLook LookOfFailedOpen(PortOpenResult result) {
  switch (result) {
    case PortOpenResult::NotFound:
      return SimLook::PortNotFound;
    case PortOpenResult::Busy:
      return SimLook::PortBusy;
    default:
      return SimLook::PortFaulty;
  }
}

bool IsSilent(const ReplyText& reply) {
  return reply == ReplyNothingWritten || reply == ReplyNothingReceived;
}

// The reply lower-cased and without the echo of its command.
std::string Judged(const ReplyText& reply, const std::string& command) {
  return WithoutEcho(ToLower1252(reply), command);
}

SimLook LookOfState(SimState state) {
  switch (state) {
    case SimState::WaitingForPin:
      return SimLook::WaitingForPin;
    case SimState::WaitingForPuk:
      return SimLook::WaitingForPuk;
    case SimState::Ready:
      return SimLook::Ready;
    case SimState::NotReady:
      break;
  }
  return SimLook::NotReady;
}

SimLook AskTheModem(ModemPort& modem) {
  const ReplyText attention = modem.Transact(kAttentionCommand);
  if (IsSilent(attention)) return SimLook::Silent;
  if (!IsAccepted(ToLower1252(attention), kAttentionCommand)) return SimLook::NotReady;
  const ReplyText state = modem.Transact(kPinQueryCommand);
  // The modem answered AT a moment ago: silence now is a modem still busy.
  if (IsSilent(state)) return SimLook::NotReady;
  return LookOfState(SimStateFromReply(Judged(state, kPinQueryCommand)));
}

// A SIM the service cannot tell about yet, or without a usable SIM, is
// what a modem without a definite +CPIN: answer is on the serial way.
SimLook LookOfService(ServiceSimState state) {
  switch (state) {
    case ServiceSimState::PinRequired:
      return SimLook::WaitingForPin;
    case ServiceSimState::PukRequired:
      return SimLook::WaitingForPuk;
    case ServiceSimState::Unlocked:
    case ServiceSimState::PinRequestOff:
      return SimLook::Ready;
    case ServiceSimState::NoSim:
      break;
  }
  return SimLook::NotReady;
}

std::unique_ptr<ManagedModem> ManagedAt(Platform& platform, const std::string& port) {
  ModemService* service = platform.ManagingService();
  return service ? service->ModemAt(port) : nullptr;
}

ConsoleOutcome OutcomeOfLook(SimLook look) {
  switch (look) {
    case SimLook::PortNotFound:
      return ConsoleOutcome::PortNotFound;
    case SimLook::PortBusy:
      return ConsoleOutcome::PortBusy;
    case SimLook::PortFaulty:
      return ConsoleOutcome::PortFaulty;
    case SimLook::Silent:
      return ConsoleOutcome::NoAnswer;
    default:
      return ConsoleOutcome::SimNotReady;
  }
}

bool NothingSent(ConsoleOutcome outcome) {
  return outcome == ConsoleOutcome::PortNotFound || outcome == ConsoleOutcome::PortBusy ||
         outcome == ConsoleOutcome::PortFaulty;
}

// What the first definite state decides; nothing while the wait must go on.
std::optional<WaitResult> Decide(SimLook look, SimLink& sim, const std::string& pin,
                                 const WaitSettings& settings, ConsoleOutcome& last) {
  switch (look) {
    case SimLook::Ready:
      return WaitResult{ConsoleOutcome::Accepted, WaitEnd::AlreadyReady};
    case SimLook::WaitingForPuk:
      return WaitResult{ConsoleOutcome::NotAccepted, WaitEnd::PukRequired};
    case SimLook::WaitingForPin: {
      const std::optional<unsigned> tries = sim.ReadPinTries();
      // No try at all cannot go with a SIM that waits for its PIN; a modem
      // that says so is kept away from the PIN like one with a single try.
      if (tries && *tries <= 1 && !settings.lastTry) {
        return WaitResult{ConsoleOutcome::LastTryKept, WaitEnd::LastTryKept};
      }
      const ConsoleOutcome sent = sim.SendPin(pin);
      if (!NothingSent(sent)) return WaitResult{sent, WaitEnd::PinSent};
      last = sent;
      return std::nullopt;
    }
    default:
      last = OutcomeOfLook(look);
      return std::nullopt;
  }
}

}  // namespace

SerialSimLink::SerialSimLink(Platform& platform, std::string port)
    : platform_(platform), port_(std::move(port)) {}

SimLook SerialSimLink::ReadState() {
  ModemPort modem(platform_);
  const PortOpenResult opened = modem.Open(port_);
  if (opened != PortOpenResult::Opened) return LookOfFailedOpen(opened);
  const SimLook look = AskTheModem(modem);
  modem.Close();
  return look;
}

std::optional<unsigned> SerialSimLink::ReadPinTries() {
  ModemPort modem(platform_);
  if (modem.Open(port_) != PortOpenResult::Opened) return std::nullopt;
  const ReplyText reply = modem.Transact(kPinTriesCommand);
  modem.Close();
  if (IsSilent(reply)) return std::nullopt;
  return PinTriesFromReply(Judged(reply, kPinTriesCommand));
}

ConsoleOutcome SerialSimLink::SendPin(const std::string& pin) {
  return SubmitPin(platform_, port_, pin);
}

PlatformSimLink::PlatformSimLink(Platform& platform, std::string port)
    : platform_(platform), port_(port), serial_(platform, std::move(port)) {}

SimLook PlatformSimLink::ReadState() {
  if (auto managed = ManagedAt(platform_, port_)) return LookOfService(managed->SimStateNow());
  return serial_.ReadState();
}

std::optional<unsigned> PlatformSimLink::ReadPinTries() {
  if (auto managed = ManagedAt(platform_, port_)) return managed->PinTriesLeft();
  return serial_.ReadPinTries();
}

ConsoleOutcome PlatformSimLink::SendPin(const std::string& pin) {
  return SubmitPin(platform_, port_, pin);
}

WaitResult WaitAndUnlock(Platform& platform, SimLink& sim, const std::string& pin,
                         const WaitSettings& settings) {
  if (!IsConsolePin(pin)) return {ConsoleOutcome::UnsafePin, WaitEnd::UnsafePin};
  const std::int64_t deadline =
      platform.MonotonicMs() + static_cast<std::int64_t>(settings.seconds) * 1000;
  ConsoleOutcome last = ConsoleOutcome::NoAnswer;
  for (;;) {
    const std::int64_t lookStart = platform.MonotonicMs();
    if (auto decided = Decide(sim.ReadState(), sim, pin, settings, last)) return *decided;
    const std::int64_t now = platform.MonotonicMs();
    if (now >= deadline) return {last, WaitEnd::DeadlinePassed};
    const std::int64_t pause = std::min(deadline - now, lookStart + kLookIntervalMs - now);
    if (pause > 0) platform.Sleep(static_cast<unsigned>(pause));
  }
}

std::string WaitReport(const WaitResult& result) {
  // Windows-1252: \xFC is "ü".
  const std::string status = " (Status " + std::to_string(ExitStatusFor(result.outcome)) + ")\n";
  switch (result.end) {
    case WaitEnd::UnsafePin:
      return "tessivo: PIN nicht gesendet: nicht vier Buchstaben oder Ziffern" + status;
    case WaitEnd::AlreadyReady:
      return "tessivo: SIM ist schon freigegeben oder ohne PIN-Abfrage, nichts gesendet" + status;
    case WaitEnd::PukRequired:
      return "tessivo: SIM erwartet die PUK, nichts gesendet" + status;
    case WaitEnd::LastTryKept:
      return "tessivo: nur noch ein PIN-Versuch \xFC"
             "brig, nicht gesendet (--last-try sendet ihn)" +
             status;
    case WaitEnd::PinSent:
      break;
    case WaitEnd::DeadlinePassed:
      switch (result.outcome) {
        case ConsoleOutcome::PortNotFound:
          return "tessivo: Wartezeit abgelaufen, Port fehlt" + status;
        case ConsoleOutcome::PortBusy:
          return "tessivo: Wartezeit abgelaufen, Port belegt" + status;
        case ConsoleOutcome::PortFaulty:
          return "tessivo: Wartezeit abgelaufen, Portfehler" + status;
        case ConsoleOutcome::NoAnswer:
          return "tessivo: Wartezeit abgelaufen, Modem antwortet nicht" + status;
        default:
          return "tessivo: Wartezeit abgelaufen, SIM nicht bereit, nichts gesendet" + status;
      }
  }
  switch (result.outcome) {
    case ConsoleOutcome::Accepted:
      return "tessivo: PIN angenommen" + status;
    case ConsoleOutcome::SimNotReady:
      return "tessivo: PIN gesendet, SIM nicht bereit, kein Versuch verbraucht" + status;
    case ConsoleOutcome::NoAnswer:
      return "tessivo: PIN gesendet, keine Antwort" + status;
    default:
      return "tessivo: PIN abgelehnt, nicht wiederholen" + status;
  }
}

ConsoleOutcome RunWaitMode(Platform& platform, const std::string& port, const std::string& pin,
                           const WaitSettings& settings) {
  PlatformSimLink sim(platform, port);
  const WaitResult result = WaitAndUnlock(platform, sim, pin, settings);
  platform.WriteError(WaitReport(result));
  if (result.outcome == ConsoleOutcome::Accepted) {
    SignalSuccess(platform);
  } else {
    SignalFailure(platform);
  }
  return result.outcome;
}

}  // namespace tessivo
