// The console form with --wait SECONDS: wait until the modem and its SIM are
// ready, then send the PIN at most once, and only to a SIM that waits for it.
// For a box without a screen that unlocks its stick at boot or at plug-in,
// where the port appears late, the modem is silent at first and the SIM says
// "busy" for a while, and where a PIN sent twice or too early can cost the
// last try.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/console_mode.h"
#include "modem/sim_replies.h"
#include "platform/platform.h"

namespace tessivo {

// One look at the modem, as the wait judges it.
enum class SimLook {
  PortNotFound,
  PortBusy,
  PortFaulty,
  Silent,    // nothing came back, not even to AT
  NotReady,  // the modem answered, but without a definite SIM state
  WaitingForPin,
  WaitingForPuk,
  Ready,
  Blocked,  // no PUK try left: the SIM answers AT+CPIN? with "SIM failure"
};

// The PIN and PUK tries as one question found them.
struct TriesLook {
  bool answered = true;  // false: the way to the SIM did not answer; look again
  std::optional<unsigned> pin;  // empty where the modem does not tell
  std::optional<unsigned> puk;
};

// The maker and model as the modem names them; empty where it does not.
struct ModemIdentity {
  std::string maker;
  std::string model;
};

// How the wait reaches the SIM. Each call opens the port (or whatever stands
// for it), asks, and closes it again before it returns, so nothing is held
// between two looks and nothing stays open at the end.
class SimLink {
 public:
  virtual ~SimLink() = default;
  // AT, then AT+CPIN?, each reply read to its end.
  virtual SimLook ReadState() = 0;
  // The tries left, in whatever dialect the modem tells them.
  virtual TriesLook ReadTries() = 0;
  // The console form's exchange (SubmitPin): the PIN goes out once. Called
  // only after a look was answered, so a PIN that went out and got no answer
  // is SentNoAnswer; NoAnswer means nothing went out.
  virtual ConsoleOutcome SendPin(const std::string& pin) = 0;
  // The guarded forms' exchanges, each sent once and its reply read to its
  // end: the PUK with the new PIN (AT+CPIN="<puk>","<new>"), and a new PIN
  // for the old (AT+CPWD="SC","<old>","<new>"). Outcomes as SendPin's; a
  // link that cannot carry them sends nothing.
  virtual ConsoleOutcome SendPuk(const std::string& /*puk*/, const std::string& /*newPin*/) {
    return ConsoleOutcome::NoAnswer;
  }
  virtual ConsoleOutcome ChangePin(const std::string& /*oldPin*/,
                                   const std::string& /*newPin*/) {
    return ConsoleOutcome::NoAnswer;
  }
  // Whether the SIM asks for its PIN when the modem starts (AT+CLCK="SC",2);
  // nothing when the modem does not tell.
  virtual std::optional<bool> ReadPinRequest() { return std::nullopt; }
  // AT+CGMI and AT+CGMM.
  virtual ModemIdentity ReadIdentity() { return {}; }
  // Whether the last call went through the service that manages the port.
  virtual bool ThroughService() const { return false; }
};

// The serial way: ModemPort on the named port, on any platform.
class SerialSimLink : public SimLink {
 public:
  SerialSimLink(Platform& platform, std::string port);
  SimLook ReadState() override;
  TriesLook ReadTries() override;
  ConsoleOutcome SendPin(const std::string& pin) override;
  ConsoleOutcome SendPuk(const std::string& puk, const std::string& newPin) override;
  ConsoleOutcome ChangePin(const std::string& oldPin, const std::string& newPin) override;
  std::optional<bool> ReadPinRequest() override;
  ModemIdentity ReadIdentity() override;

 private:
  ConsoleOutcome SendPassword(std::string command);

  Platform& platform_;
  std::string port_;
};

// The way each look takes, chosen anew for every call: through the service
// that manages the port where one does (it holds the port, which the serial
// way would find busy), the serial way otherwise. So a service that starts,
// stops or takes the stick up during the wait is followed. A service that
// runs but does not answer is never bypassed: the look is a silent one, and
// nothing is sent. Every question to the service is bounded by the time
// left until `deadlineMs` (on the platform's clock).
class PlatformSimLink : public SimLink {
 public:
  PlatformSimLink(Platform& platform, std::string port, std::int64_t deadlineMs);
  SimLook ReadState() override;
  TriesLook ReadTries() override;
  // SubmitPin, which makes the same choice.
  ConsoleOutcome SendPin(const std::string& pin) override;
  ConsoleOutcome SendPuk(const std::string& puk, const std::string& newPin) override;
  ConsoleOutcome ChangePin(const std::string& oldPin, const std::string& newPin) override;
  std::optional<bool> ReadPinRequest() override;
  ModemIdentity ReadIdentity() override;
  bool ThroughService() const override { return throughService_; }

 private:
  unsigned ServiceBoundMs() const;
  ServiceLookup Find(std::unique_ptr<ManagedModem>& managed);

  Platform& platform_;
  std::string port_;
  std::int64_t deadlineMs_;
  SerialSimLink serial_;
  bool throughService_ = false;
};

// The locks a run holds on its port, from its first look to its end, so
// that two runs (a double plug-in event, the unit and a manual start) never
// both decide on the same SIM.
class PortLocks {
 public:
  PortLocks(Platform& platform, std::string port);
  // Holds the lock under the port's present name, waiting for another run
  // at most until deadlineMs; false when it is still held then.
  bool Hold(std::int64_t deadlineMs);

 private:
  Platform& platform_;
  std::string port_;
  std::vector<std::pair<std::string, std::unique_ptr<PortLock>>> held_;
};

struct WaitSettings {
  unsigned seconds = 0;  // how long to wait for a definite state
  bool lastTry = false;  // send even when only one PIN try is left
};

// Why a wait ended; with the outcome it names the line for the journal.
enum class WaitEnd {
  UnsafePin,       // the PIN is no PIN: never sent, port untouched
  AlreadyReady,    // unlocked or PIN request off: nothing sent
  PukRequired,     // nothing sent
  LastTryKept,     // one try left: nothing sent
  PinSent,         // the outcome is the console form's
  DeadlinePassed,  // the outcome is the last look's
};

struct WaitResult {
  ConsoleOutcome outcome;
  WaitEnd end;
};

// Until settings.seconds have passed, looks at the SIM about once a second,
// holding the port's lock against other runs from the first look on:
// an absent, busy or faulty port, a silent modem and a SIM without a definite
// state mean look again. The first definite state decides, once: Ready is
// Accepted and PUK NotAccepted, both with nothing sent; PIN asks for the
// tries left and sends the PIN (or keeps the last try). When the deadline
// passes first, the last look decides: PortNotFound, PortBusy, PortFaulty,
// NoAnswer, or SimNotReady. A port that cannot be opened to send the PIN
// sent nothing, so the wait goes on; a PIN that went out and got no answer
// is SentNoAnswer. Plays no signal, writes nothing.
WaitResult WaitAndUnlock(Platform& platform, SimLink& sim, const std::string& pin,
                         const WaitSettings& settings, std::int64_t deadlineMs,
                         PortLocks* locks = nullptr);

// The loop of the wait alone: until deadlineMs, looks at the SIM about once
// a second, holding `locks` (when given) from the first look on, and hands
// every look to `decide`, which settles the run by returning true, or sets
// the outcome to keep (preset to the look's own) and lets the loop go on.
// Returns nothing when decided, else the last outcome once the deadline has
// passed. A deadline of now is a single look.
std::optional<ConsoleOutcome> LookUntilDecided(
    Platform& platform, SimLink& sim, std::int64_t deadlineMs, PortLocks* locks,
    const std::function<bool(SimLook look, ConsoleOutcome& last)>& decide);

// What a look that settles nothing leaves as the outcome.
ConsoleOutcome OutcomeOfLook(SimLook look);

// Whether an outcome of a password exchange means nothing went out.
bool NothingSent(ConsoleOutcome outcome);

// The deadline `seconds` from now on the platform's clock.
std::int64_t DeadlineIn(Platform& platform, unsigned seconds);

// The same, without locks, with the deadline settings.seconds from now.
inline WaitResult WaitAndUnlock(Platform& platform, SimLink& sim, const std::string& pin,
                                const WaitSettings& settings) {
  return WaitAndUnlock(platform, sim, pin, settings, DeadlineIn(platform, settings.seconds));
}

// The German line (Windows-1252, with its line end) that names the outcome.
std::string WaitReport(const WaitResult& result);

// The whole --wait form, through the service that manages the port or on
// the port itself: the wait, one line on standard error, and the console
// form's signal (success only for Accepted).
ConsoleOutcome RunWaitMode(Platform& platform, const std::string& port, const std::string& pin,
                           const WaitSettings& settings);

}  // namespace tessivo
