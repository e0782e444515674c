#include "app/wait_mode.h"

#include <algorithm>
#include <memory>

#include "modem/commands.h"
#include "modem/modem_port.h"
#include "modem/reply_text.h"
#include "modem/sim_tries.h"
#include "platform/signals.h"
#include "text/cp1252.h"

namespace tessivo {
namespace {

// Looks start about this far apart; a look that took longer (a silent modem
// takes 3 s) is followed at once by the next.
constexpr std::int64_t kLookIntervalMs = 1000;
// How long one question of a look waits for the whole answer: longer than
// the slowest stick takes to answer a SIM question.
constexpr unsigned kLookAnswerMs = 5000;
// A question to the managing service near the deadline still gets this long.
constexpr std::int64_t kShortestServiceBoundMs = 500;

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

// Only whole answers count: an echo, a line cut short or a line the modem
// sends of its own accord is never taken for the state.
SimLook AskTheModem(ModemPort& modem) {
  const AtReply attention = modem.Ask(kAttentionCommand, kLookAnswerMs);
  if (!attention.heardAnything) return SimLook::Silent;
  if (!attention.Ok()) return SimLook::NotReady;
  // The modem answered AT a moment ago: silence now is a modem still busy.
  const AtReply state = modem.Ask(kPinQueryCommand, kLookAnswerMs);
  // A card whose PUK tries ran out answers with nothing but this error,
  // for good.
  if (state.final == FinalResult::CmeError &&
      (state.finalLine == "+cme error: 13" || state.finalLine == "+cme error: sim failure")) {
    return SimLook::Blocked;
  }
  return LookOfState(SimStateFromAnswer(state));
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
    case ServiceSimState::NoAnswer:
      return SimLook::Silent;
    case ServiceSimState::NoSim:
      break;
  }
  return SimLook::NotReady;
}

ServiceLookup FindManaged(Platform& platform, const std::string& port, unsigned boundMs,
                          std::unique_ptr<ManagedModem>& modem) {
  ModemService* service = platform.ManagingService();
  return service ? service->Find(port, boundMs, modem) : ServiceLookup::NotManaged;
}

}  // namespace

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
         outcome == ConsoleOutcome::PortFaulty || outcome == ConsoleOutcome::NoAnswer;
}

namespace {

// What the first definite state decides; nothing while the wait must go on.
std::optional<WaitResult> Decide(SimLook look, SimLink& sim, const std::string& pin,
                                 const WaitSettings& settings, ConsoleOutcome& last) {
  switch (look) {
    case SimLook::Ready:
      return WaitResult{ConsoleOutcome::Accepted, WaitEnd::AlreadyReady};
    case SimLook::WaitingForPuk:
      return WaitResult{ConsoleOutcome::NotAccepted, WaitEnd::PukRequired};
    case SimLook::WaitingForPin: {
      const TriesLook tries = sim.ReadTries();
      if (!tries.answered) {
        last = ConsoleOutcome::NoAnswer;
        return std::nullopt;
      }
      // No try at all cannot go with a SIM that waits for its PIN; a modem
      // that says so is kept away from the PIN like one with a single try.
      if (tries.pin && *tries.pin <= 1 && !settings.lastTry) {
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

TriesLook SerialSimLink::ReadTries() {
  ModemPort modem(platform_);
  // The port opened for the look a moment ago: one that does not open now
  // tells nothing, and the wait looks again.
  if (modem.Open(port_) != PortOpenResult::Opened) return TriesLook{false, {}, {}};
  const SimTries tries = ReadSimTries(
      [&modem](const std::string& command) { return modem.Ask(command, kLookAnswerMs); });
  modem.Close();
  return TriesLook{tries.answered, tries.pin, tries.puk};
}

ConsoleOutcome SerialSimLink::SendPin(const std::string& pin) {
  return SubmitPin(platform_, port_, pin, kServiceQuestionMs, true);
}

PlatformSimLink::PlatformSimLink(Platform& platform, std::string port, std::int64_t deadlineMs)
    : platform_(platform), port_(port), deadlineMs_(deadlineMs), serial_(platform, std::move(port)) {}

unsigned PlatformSimLink::ServiceBoundMs() const {
  const std::int64_t left = deadlineMs_ - platform_.MonotonicMs();
  return static_cast<unsigned>(std::clamp<std::int64_t>(left, kShortestServiceBoundMs,
                                                        kServiceQuestionMs));
}

SimLook PlatformSimLink::ReadState() {
  std::unique_ptr<ManagedModem> managed;
  switch (FindManaged(platform_, port_, ServiceBoundMs(), managed)) {
    case ServiceLookup::Managed:
      return LookOfService(managed->SimStateNow());
    case ServiceLookup::NoAnswer:
      return SimLook::Silent;
    case ServiceLookup::NotManaged:
      break;
  }
  return serial_.ReadState();
}

TriesLook PlatformSimLink::ReadTries() {
  std::unique_ptr<ManagedModem> managed;
  switch (FindManaged(platform_, port_, ServiceBoundMs(), managed)) {
    case ServiceLookup::Managed: {
      const auto tries = managed->Tries();
      if (!tries) return TriesLook{false, {}, {}};
      return TriesLook{true, tries->first, tries->second};
    }
    case ServiceLookup::NoAnswer:
      return TriesLook{false, {}, {}};
    case ServiceLookup::NotManaged:
      break;
  }
  return serial_.ReadTries();
}

ConsoleOutcome PlatformSimLink::SendPin(const std::string& pin) {
  return SubmitPin(platform_, port_, pin, ServiceBoundMs(), true);
}

std::int64_t DeadlineIn(Platform& platform, unsigned seconds) {
  return platform.MonotonicMs() + static_cast<std::int64_t>(seconds) * 1000;
}

PortLocks::PortLocks(Platform& platform, std::string port)
    : platform_(platform), port_(std::move(port)) {}

bool PortLocks::Hold(std::int64_t deadlineMs) {
  // The port's name for the lock changes when its device appears: the run
  // then holds that one too, and keeps what it held before.
  std::string key = platform_.PortLockKey(port_);
  for (const auto& [heldKey, lock] : held_) {
    if (heldKey == key) return true;
  }
  const std::int64_t left = std::max<std::int64_t>(0, deadlineMs - platform_.MonotonicMs());
  auto lock = platform_.LockPort(key, static_cast<unsigned>(left));
  if (!lock) return false;
  held_.emplace_back(std::move(key), std::move(lock));
  return true;
}

std::optional<ConsoleOutcome> LookUntilDecided(
    Platform& platform, SimLink& sim, std::int64_t deadline, PortLocks* locks,
    const std::function<bool(SimLook look, ConsoleOutcome& last)>& decide) {
  ConsoleOutcome last = ConsoleOutcome::NoAnswer;
  for (;;) {
    const std::int64_t lookStart = platform.MonotonicMs();
    // Another run holds the port: it is busy until that run ends, and then
    // this one looks afresh, so it sends nothing to a SIM the other unlocked.
    if (locks && !locks->Hold(deadline)) {
      last = ConsoleOutcome::PortBusy;
    } else {
      const SimLook look = sim.ReadState();
      last = OutcomeOfLook(look);
      if (decide(look, last)) return std::nullopt;
    }
    const std::int64_t now = platform.MonotonicMs();
    if (now >= deadline) return last;
    const std::int64_t pause = std::min(deadline - now, lookStart + kLookIntervalMs - now);
    if (pause > 0) platform.Sleep(static_cast<unsigned>(pause));
  }
}

WaitResult WaitAndUnlock(Platform& platform, SimLink& sim, const std::string& pin,
                         const WaitSettings& settings, std::int64_t deadline,
                         PortLocks* locks) {
  if (!IsConsolePin(pin)) return {ConsoleOutcome::UnsafePin, WaitEnd::UnsafePin};
  std::optional<WaitResult> decided;
  const auto passed = LookUntilDecided(
      platform, sim, deadline, locks, [&](SimLook look, ConsoleOutcome& last) {
        decided = Decide(look, sim, pin, settings, last);
        return decided.has_value();
      });
  return decided ? *decided : WaitResult{*passed, WaitEnd::DeadlinePassed};
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
    case ConsoleOutcome::SentNoAnswer:
      return "tessivo: PIN gesendet, keine Antwort: ein Versuch kann verbraucht sein, "
             "nicht blind wiederholen" +
             status;
    default:
      return "tessivo: PIN abgelehnt, nicht wiederholen" + status;
  }
}

ConsoleOutcome RunWaitMode(Platform& platform, const std::string& port, const std::string& pin,
                           const WaitSettings& settings) {
  const std::int64_t deadline = DeadlineIn(platform, settings.seconds);
  PlatformSimLink sim(platform, port, deadline);
  PortLocks locks(platform, port);
  const WaitResult result = WaitAndUnlock(platform, sim, pin, settings, deadline, &locks);
  platform.WriteError(WaitReport(result));
  if (result.outcome == ConsoleOutcome::Accepted) {
    SignalSuccess(platform);
  } else {
    SignalFailure(platform);
  }
  return result.outcome;
}

}  // namespace tessivo
