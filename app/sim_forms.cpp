#include "app/sim_forms.h"

#include <algorithm>
#include <memory>

#include "app/command_line.h"
#include "modem/commands.h"
#include "modem/modem_port.h"
#include "modem/sim_replies.h"
#include "platform/signals.h"
#include "text/cp1252.h"
#include "text/wipe.h"

namespace tessivo {
namespace {

// How long one question of a look, and a password's reply, may take to
// come whole. A SIM checks a PUK or a PIN change in well under a second;
// a modem that has said nothing after ten has not heard it, or will not say.
constexpr unsigned kQuestionMs = 3000;
constexpr unsigned kPasswordAnswerMs = 10000;
// After an accepted PUK the stick may still say "SIM PUK" or "busy" for a
// while (its status lags its card): looks for READY this long.
constexpr std::int64_t kReadyAfterPukMs = 10000;
constexpr unsigned kReadyLookIntervalMs = 1000;


// The text after "+cgmi:" (some modems prefix their answer) or the line as it is.
std::string IdentityLine(const AtReply& reply) {
  if (!reply.Ok() || reply.lines.empty()) return "";
  std::string line = reply.lines.front();
  if (line.rfind("+cg", 0) == 0 && line.find(':') != std::string::npos) {
    line = line.substr(line.find(':') + 1);
  }
  const auto first = line.find_first_not_of(" \t\"");
  const auto last = line.find_last_not_of(" \t\"");
  return first == std::string::npos ? "" : line.substr(first, last - first + 1);
}

bool Definite(SimLook look) {
  return look == SimLook::WaitingForPin || look == SimLook::WaitingForPuk ||
         look == SimLook::Ready || look == SimLook::Blocked;
}

std::string Count(const std::optional<unsigned>& count) {
  return count ? std::to_string(*count) : "unbekannt";
}

std::string Status(ConsoleOutcome outcome) {
  return " (Status " + std::to_string(ExitStatusFor(outcome)) + ")\n";
}

// The look at the deadline, for a line on standard error.
std::string DeadlineText(ConsoleOutcome outcome) {
  switch (outcome) {
    case ConsoleOutcome::PortNotFound:
      return "Port fehlt";
    case ConsoleOutcome::PortBusy:
      return "Port belegt";
    case ConsoleOutcome::PortFaulty:
      return "Portfehler";
    case ConsoleOutcome::NoAnswer:
      return "Modem antwortet nicht";
    default:
      return "SIM nicht bereit";
  }
}

std::string WrongStateText(SimLook look, bool forPuk) {
  switch (look) {
    case SimLook::WaitingForPin:
      return forPuk ? "SIM wartet auf die PIN, nicht auf die PUK"
                    : "SIM wartet auf die PIN: erst freigeben";
    case SimLook::WaitingForPuk:
      return "SIM erwartet die PUK: erst mit --puk entsperren";
    case SimLook::Blocked:
      return "SIM ist endg\xFCltig gesperrt";
    default:
      return forPuk ? "SIM ist freigegeben, keine PUK n\xF6tig"
                    : "PIN-Abfrage ist aus: erst einschalten";
  }
}

std::string FormReport(const FormResult& result, bool forPuk, const char* sentText,
                       const char* triesName) {
  const std::string name = forPuk ? "PUK" : "PIN";
  const std::string status = Status(result.outcome);
  switch (result.end) {
    case FormEnd::BadSecret:
      return forPuk ? "tessivo: nicht gesendet: PUK nicht acht Ziffern oder neue PIN nicht vier "
                      "Ziffern" + status
                    : "tessivo: nicht gesendet: alte PIN nicht vier Buchstaben oder Ziffern "
                      "oder neue PIN nicht vier Ziffern" + status;
    case FormEnd::WrongState:
      return "tessivo: " + WrongStateText(result.look, forPuk) + ", nichts gesendet" + status;
    case FormEnd::LastTryKept:
      return "tessivo: nur noch ein " + name + "-Versuch \xFC" "brig, nichts gesendet "
             "(--last-try sendet)" + status;
    case FormEnd::DeadlinePassed:
      return "tessivo: " + DeadlineText(result.outcome) + ", nichts gesendet" + status;
    case FormEnd::Sent:
      break;
  }
  switch (result.outcome) {
    case ConsoleOutcome::Accepted:
      return std::string("tessivo: ") + sentText + status;
    case ConsoleOutcome::SimNotReady:
      return "tessivo: " + name + " gesendet, SIM nicht bereit, kein Versuch verbraucht" + status;
    case ConsoleOutcome::SentNoAnswer:
      return "tessivo: " + name + " gesendet, keine Antwort: ein Versuch kann verbraucht sein, "
             "nicht blind wiederholen" + status;
    default:
      return "tessivo: " + std::string(forPuk ? "PUK" : "alte PIN") + " abgelehnt, noch " +
             Count(result.triesLeft) + " " + triesName + status;
  }
}

void Signal(Platform& platform, ConsoleOutcome outcome) {
  if (outcome == ConsoleOutcome::Accepted) {
    SignalSuccess(platform);
  } else {
    SignalFailure(platform);
  }
}

// The deadline for the service's questions: the wait's, but never so near
// that a form without --wait gives the service less than its usual time.
std::int64_t LinkDeadline(Platform& platform, std::int64_t deadline) {
  return std::max<std::int64_t>(deadline, platform.MonotonicMs() + kServiceQuestionMs);
}

// "com1" as the user knows it; a device path as given.
std::string PortShown(const std::string& port) {
  return port.find('/') == std::string::npos ? ToUpper1252(port) : port;
}

}  // namespace

// --- The links' exchanges for the guarded forms ---------------------------

ConsoleOutcome SerialSimLink::SendPassword(std::string command) {
  ModemPort modem(platform_);
  const PortOpenResult opened = modem.Open(port_);
  if (opened != PortOpenResult::Opened) {
    WipeSecret(command);
    return OutcomeOfFailedOpen(opened);
  }
  AtReply reply = modem.Ask(command, kPasswordAnswerMs);
  modem.Close();
  WipeSecret(command);
  const ConsoleOutcome outcome = !reply.written                       ? ConsoleOutcome::NoAnswer
                                 : reply.Ok()                          ? ConsoleOutcome::Accepted
                                 : !reply.Complete()                   ? ConsoleOutcome::SentNoAnswer
                                 : SaysSimNotReady(reply.finalLine)    ? ConsoleOutcome::SimNotReady
                                                                       : ConsoleOutcome::NotAccepted;
  WipeReply(reply);
  return outcome;
}

ConsoleOutcome SerialSimLink::SendPuk(const std::string& puk, const std::string& newPin) {
  return SendPassword("at+cpin=\"" + puk + "\",\"" + newPin + "\"");
}

ConsoleOutcome SerialSimLink::ChangePin(const std::string& oldPin, const std::string& newPin) {
  return SendPassword("at+cpwd=\"sc\",\"" + oldPin + "\",\"" + newPin + "\"");
}

std::optional<bool> SerialSimLink::ReadPinRequest() {
  ModemPort modem(platform_);
  if (modem.Open(port_) != PortOpenResult::Opened) return std::nullopt;
  const AtReply reply = modem.Ask(kLockQueryCommand, kQuestionMs);
  modem.Close();
  if (!reply.Ok()) return std::nullopt;
  for (const std::string& line : reply.lines) {
    if (line.rfind("+clck:", 0) != 0) continue;
    const auto digit = line.find_first_not_of(' ', 6);
    if (digit != std::string::npos && (line[digit] == '0' || line[digit] == '1')) {
      return line[digit] == '1';
    }
  }
  return std::nullopt;
}

ModemIdentity SerialSimLink::ReadIdentity() {
  ModemPort modem(platform_);
  if (modem.Open(port_) != PortOpenResult::Opened) return {};
  ModemIdentity identity;
  identity.maker = IdentityLine(modem.Ask("at+cgmi", kQuestionMs));
  identity.model = IdentityLine(modem.Ask("at+cgmm", kQuestionMs));
  modem.Close();
  return identity;
}

ServiceLookup PlatformSimLink::Find(std::unique_ptr<ManagedModem>& managed) {
  ModemService* service = platform_.ManagingService();
  const ServiceLookup found =
      service ? service->Find(port_, ServiceBoundMs(), managed) : ServiceLookup::NotManaged;
  throughService_ = found != ServiceLookup::NotManaged;
  return found;
}

ConsoleOutcome PlatformSimLink::SendPuk(const std::string& puk, const std::string& newPin) {
  std::unique_ptr<ManagedModem> managed;
  switch (Find(managed)) {
    case ServiceLookup::Managed:
      return OutcomeOfServiceReply(managed->SendPuk(puk, newPin));
    case ServiceLookup::NoAnswer:
      return ConsoleOutcome::NoAnswer;
    case ServiceLookup::NotManaged:
      break;
  }
  return serial_.SendPuk(puk, newPin);
}

ConsoleOutcome PlatformSimLink::ChangePin(const std::string& oldPin, const std::string& newPin) {
  std::unique_ptr<ManagedModem> managed;
  switch (Find(managed)) {
    case ServiceLookup::Managed: {
      // The serial way's command goes out upper-cased, letters included.
      std::string upper = ToUpper1252(oldPin);
      const ServiceReply reply = managed->ChangePin(upper, newPin);
      WipeSecret(upper);
      return OutcomeOfServiceReply(reply);
    }
    case ServiceLookup::NoAnswer:
      return ConsoleOutcome::NoAnswer;
    case ServiceLookup::NotManaged:
      break;
  }
  return serial_.ChangePin(oldPin, newPin);
}

std::optional<bool> PlatformSimLink::ReadPinRequest() {
  std::unique_ptr<ManagedModem> managed;
  switch (Find(managed)) {
    case ServiceLookup::Managed:
      // ModemManager tells the request with the state (EnabledFacilityLocks).
      switch (managed->SimStateNow()) {
        case ServiceSimState::Unlocked:
        case ServiceSimState::PinRequired:
        case ServiceSimState::PukRequired:
          return true;
        case ServiceSimState::PinRequestOff:
          return false;
        default:
          return std::nullopt;
      }
    case ServiceLookup::NoAnswer:
      return std::nullopt;
    case ServiceLookup::NotManaged:
      break;
  }
  return serial_.ReadPinRequest();
}

ModemIdentity PlatformSimLink::ReadIdentity() {
  std::unique_ptr<ManagedModem> managed;
  switch (Find(managed)) {
    case ServiceLookup::Managed: {
      auto [maker, model] = managed->MakerAndModel();
      return {ToLower1252(maker), ToLower1252(model)};
    }
    case ServiceLookup::NoAnswer:
      return {};
    case ServiceLookup::NotManaged:
      break;
  }
  return serial_.ReadIdentity();
}

// --- The forms -------------------------------------------------------------

namespace {

// The last step of a guarded form, in a look that found the SIM as the form
// needs it: with one try of the password left (or none) nothing goes out
// unless --last-try; otherwise the password goes out once. True when the
// form is decided; false when nothing went out and the wait goes on.
template <typename Send>
bool SendOnceUnlessLastTry(std::optional<unsigned> triesLeft, const FormSettings& settings,
                           SimLook look, FormResult& result, ConsoleOutcome& last,
                           const Send& send) {
  if (triesLeft && *triesLeft <= 1 && !settings.lastTry) {
    result = {ConsoleOutcome::LastTryKept, FormEnd::LastTryKept, look};
    return true;
  }
  const ConsoleOutcome sent = send();
  if (NothingSent(sent)) {
    last = sent;
    return false;
  }
  result = {sent, FormEnd::Sent, look};
  return true;
}

}  // namespace

StatusFacts ReadStatus(Platform& platform, SimLink& sim, std::int64_t deadline,
                       PortLocks* locks) {
  StatusFacts facts;
  const auto passed =
      LookUntilDecided(platform, sim, deadline, locks, [&](SimLook look, ConsoleOutcome&) {
        facts.look = look;
        return Definite(look);
      });
  facts.throughService = sim.ThroughService();
  if (passed) {
    facts.outcome = *passed;
    return facts;
  }
  facts.outcome = ConsoleOutcome::Accepted;
  facts.tries = sim.ReadTries();
  if (!facts.tries.answered) facts.tries = TriesLook{false, std::nullopt, std::nullopt};
  if (facts.look == SimLook::WaitingForPuk && facts.tries.puk == 0u) facts.look = SimLook::Blocked;
  // A SIM that asks for its PIN or PUK has its request on; an open one is
  // asked.
  if (facts.look == SimLook::Ready) {
    facts.pinRequest = sim.ReadPinRequest();
  } else if (facts.look != SimLook::Blocked) {
    facts.pinRequest = true;
  }
  facts.identity = sim.ReadIdentity();
  facts.throughService = sim.ThroughService();
  return facts;
}

std::string StatusLines(const std::string& port, const StatusFacts& facts) {
  std::string modem = facts.identity.maker;
  if (!facts.identity.model.empty()) modem += (modem.empty() ? "" : " ") + facts.identity.model;
  std::string state;
  switch (facts.outcome == ConsoleOutcome::Accepted ? facts.look : SimLook::Silent) {
    case SimLook::WaitingForPin:
      state = "PIN wird erwartet";
      break;
    case SimLook::WaitingForPuk:
      state = "PUK wird erwartet, PIN ist gesperrt";
      break;
    case SimLook::Ready:
      state = facts.pinRequest == false ? "PIN-Abfrage ist abgeschaltet" : "Modem ist freigegeben";
      break;
    case SimLook::Blocked:
      state = "SIM ist endg\xFCltig gesperrt";
      break;
    default:
      state = facts.outcome == ConsoleOutcome::SimNotReady ? "SIM nicht bereit" : "unbekannt";
      break;
  }
  const std::string request =
      !facts.pinRequest ? "unbekannt" : *facts.pinRequest ? "an" : "aus";
  return "Port: " + PortShown(port) + " (" + (facts.throughService ? "ModemManager" : "seriell") +
         ")\nModem: " + (modem.empty() ? "unbekannt" : modem) + "\nSIM: " + state +
         "\nPIN-Versuche: " + Count(facts.tries.pin) + "\nPUK-Versuche: " +
         Count(facts.tries.puk) + "\nPIN-Abfrage: " + request + "\n";
}

FormResult UnblockWithPuk(Platform& platform, SimLink& sim, const std::string& puk,
                          const std::string& newPin, const FormSettings& settings,
                          std::int64_t deadline, PortLocks* locks) {
  FormResult result;
  if (!IsPuk(puk) || !IsNewPin(newPin)) {
    return {ConsoleOutcome::UnsafePin, FormEnd::BadSecret};
  }
  const auto passed =
      LookUntilDecided(platform, sim, deadline, locks, [&](SimLook look, ConsoleOutcome& last) {
        result.look = look;
        if (!Definite(look)) return false;
        if (look != SimLook::WaitingForPuk) {
          result = {ConsoleOutcome::NotAccepted, FormEnd::WrongState, look};
          return true;
        }
        const TriesLook tries = sim.ReadTries();
        if (!tries.answered) {
          last = ConsoleOutcome::NoAnswer;
          return false;
        }
        if (tries.puk == 0u) {
          result = {ConsoleOutcome::NotAccepted, FormEnd::WrongState, SimLook::Blocked};
          return true;
        }
        return SendOnceUnlessLastTry(tries.puk, settings, look, result, last,
                                     [&] { return sim.SendPuk(puk, newPin); });
      });
  if (passed) return {*passed, FormEnd::DeadlinePassed, result.look};
  if (result.end != FormEnd::Sent) return result;
  if (result.outcome == ConsoleOutcome::NotAccepted) {
    result.triesLeft = sim.ReadTries().puk;
  } else if (result.outcome == ConsoleOutcome::Accepted) {
    const std::int64_t until = platform.MonotonicMs() + kReadyAfterPukMs;
    for (;;) {
      if (sim.ReadState() == SimLook::Ready) {
        result.readyAfterPuk = true;
        break;
      }
      if (platform.MonotonicMs() >= until) break;
      platform.Sleep(kReadyLookIntervalMs);
    }
  }
  return result;
}

FormResult ChangeThePin(Platform& platform, SimLink& sim, const std::string& oldPin,
                        const std::string& newPin, const FormSettings& settings,
                        std::int64_t deadline, PortLocks* locks) {
  FormResult result;
  if (!IsConsolePin(oldPin) || !IsNewPin(newPin)) {
    return {ConsoleOutcome::UnsafePin, FormEnd::BadSecret};
  }
  const auto passed =
      LookUntilDecided(platform, sim, deadline, locks, [&](SimLook look, ConsoleOutcome& last) {
        result.look = look;
        if (!Definite(look)) return false;
        if (look != SimLook::Ready) {
          result = {ConsoleOutcome::NotAccepted, FormEnd::WrongState, look};
          return true;
        }
        const std::optional<bool> request = sim.ReadPinRequest();
        if (!request) {
          // The modem did not tell: a look without a definite state.
          last = ConsoleOutcome::SimNotReady;
          return false;
        }
        if (!*request) {
          result = {ConsoleOutcome::NotAccepted, FormEnd::WrongState, look};
          return true;
        }
        const TriesLook tries = sim.ReadTries();
        if (!tries.answered) {
          last = ConsoleOutcome::NoAnswer;
          return false;
        }
        return SendOnceUnlessLastTry(tries.pin, settings, look, result, last,
                                     [&] { return sim.ChangePin(oldPin, newPin); });
      });
  if (passed) return {*passed, FormEnd::DeadlinePassed, result.look};
  if (result.end == FormEnd::Sent && result.outcome == ConsoleOutcome::NotAccepted) {
    result.triesLeft = sim.ReadTries().pin;
  }
  return result;
}

std::string PukReport(const FormResult& result) {
  const char* accepted =
      result.readyAfterPuk
          ? "PUK angenommen, neue PIN gesetzt, SIM freigegeben; die PIN-Abfrage ist wieder an"
          : "PUK angenommen, neue PIN gesetzt, SIM meldet sich noch nicht bereit: nicht "
            "wiederholen; die PIN-Abfrage ist wieder an";
  return FormReport(result, true, accepted, "PUK-Versuche");
}

std::string ChangePinReport(const FormResult& result) {
  return FormReport(result, false, "PIN ge\xE4ndert", "PIN-Versuche");
}

ConsoleOutcome RunStatusForm(Platform& platform, const std::string& port,
                             const FormSettings& settings) {
  const std::int64_t deadline = DeadlineIn(platform, settings.seconds);
  PlatformSimLink sim(platform, port, LinkDeadline(platform, deadline));
  PortLocks locks(platform, port);
  const StatusFacts facts = ReadStatus(platform, sim, deadline, &locks);
  platform.WriteOutput(StatusLines(port, facts));
  if (facts.outcome != ConsoleOutcome::Accepted) {
    platform.WriteError("tessivo: kein fester Zustand: " + DeadlineText(facts.outcome) +
                        Status(facts.outcome));
  }
  return facts.outcome;
}

ConsoleOutcome RunPukForm(Platform& platform, const std::string& port, const std::string& puk,
                          const std::string& newPin, const FormSettings& settings) {
  const std::int64_t deadline = DeadlineIn(platform, settings.seconds);
  PlatformSimLink sim(platform, port, LinkDeadline(platform, deadline));
  PortLocks locks(platform, port);
  const FormResult result = UnblockWithPuk(platform, sim, puk, newPin, settings, deadline, &locks);
  platform.WriteError(PukReport(result));
  Signal(platform, result.outcome);
  return result.outcome;
}

ConsoleOutcome RunChangePinForm(Platform& platform, const std::string& port,
                                const std::string& oldPin, const std::string& newPin,
                                const FormSettings& settings) {
  const std::int64_t deadline = DeadlineIn(platform, settings.seconds);
  PlatformSimLink sim(platform, port, LinkDeadline(platform, deadline));
  PortLocks locks(platform, port);
  const FormResult result =
      ChangeThePin(platform, sim, oldPin, newPin, settings, deadline, &locks);
  platform.WriteError(ChangePinReport(result));
  Signal(platform, result.outcome);
  return result.outcome;
}

}  // namespace tessivo
