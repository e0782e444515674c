// The console form with --wait SECONDS: wait until the modem and its SIM are
// ready, then send the PIN at most once, and only to a SIM that waits for it.
// For a box without a screen that unlocks its stick at boot or at plug-in,
// where the port appears late, the modem is silent at first and the SIM says
// "busy" for a while, and where a PIN sent twice or too early can cost the
// last try.
#pragma once

#include <optional>
#include <string>

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
};

// How the wait reaches the SIM. Each call opens the port (or whatever stands
// for it), asks, and closes it again before it returns, so nothing is held
// between two looks and nothing stays open at the end.
class SimLink {
 public:
  virtual ~SimLink() = default;
  // AT, then AT+CPIN?.
  virtual SimLook ReadState() = 0;
  // AT+CPINR="SIM PIN"; nothing when the modem does not tell.
  virtual std::optional<unsigned> ReadPinTries() = 0;
  // The console form's exchange (SubmitPin): the PIN goes out once.
  virtual ConsoleOutcome SendPin(const std::string& pin) = 0;
};

// The serial way: ModemPort on the named port, on any platform.
class SerialSimLink : public SimLink {
 public:
  SerialSimLink(Platform& platform, std::string port);
  SimLook ReadState() override;
  std::optional<unsigned> ReadPinTries() override;
  ConsoleOutcome SendPin(const std::string& pin) override;

 private:
  Platform& platform_;
  std::string port_;
};

// The way each look takes, chosen anew for every call: through the service
// that manages the port where one does (it holds the port, which the serial
// way would find busy), the serial way otherwise. So a service that starts,
// stops or takes the stick up during the wait is followed.
class PlatformSimLink : public SimLink {
 public:
  PlatformSimLink(Platform& platform, std::string port);
  SimLook ReadState() override;
  std::optional<unsigned> ReadPinTries() override;
  // SubmitPin, which makes the same choice.
  ConsoleOutcome SendPin(const std::string& pin) override;

 private:
  Platform& platform_;
  std::string port_;
  SerialSimLink serial_;
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

// Until settings.seconds have passed, looks at the SIM about once a second:
// an absent, busy or faulty port, a silent modem and a SIM without a definite
// state mean look again. The first definite state decides, once: Ready is
// Accepted and PUK NotAccepted, both with nothing sent; PIN asks for the
// tries left and sends the PIN (or keeps the last try). When the deadline
// passes first, the last look decides: PortNotFound, PortBusy, PortFaulty,
// NoAnswer, or SimNotReady. A port that cannot be opened to send the PIN
// sent nothing, so the wait goes on. Plays no signal, writes nothing.
WaitResult WaitAndUnlock(Platform& platform, SimLink& sim, const std::string& pin,
                         const WaitSettings& settings);

// The German line (Windows-1252, with its line end) that names the outcome.
std::string WaitReport(const WaitResult& result);

// The whole --wait form, through the service that manages the port or on
// the port itself: the wait, one line on standard error, and the console
// form's signal (success only for Accepted).
ConsoleOutcome RunWaitMode(Platform& platform, const std::string& port, const std::string& pin,
                           const WaitSettings& settings);

}  // namespace tessivo
