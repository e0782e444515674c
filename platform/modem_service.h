// The second way to the SIM: a system service that manages the modem and
// owns its ports (ModemManager on Linux). Where one manages the port the
// user chose, the SIM operations ask the service instead of opening the
// port; everywhere else they talk AT on the port themselves. The operations
// decide texts, tones and exit statuses alike for both ways; this seam only
// carries what the service reports and what it answered.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace tessivo {

// The SIM as the service reports it.
enum class ServiceSimState {
  PinRequired,    // waits for its PIN (or another PIN-type code)
  PukRequired,    // waits for its PUK (or another PUK-type code)
  Unlocked,       // open, the PIN request on
  PinRequestOff,  // open, the PIN request off
  NoSim,          // no usable SIM, or the service cannot tell
  NoAnswer,       // the service did not answer in time
};

// What the service answered to a password.
enum class ServiceReply {
  Accepted,
  WrongPassword,  // the SIM refused the password (a try is gone)
  Refused,        // the service refused the caller (authorisation)
  WrongState,     // the SIM was not in a state for this command
  NoAnswer,       // the password went out, and no answer came in time: the
                  // service may still pass it on
  Unreached,      // the service did not answer before the password went out:
                  // nothing was sent
  Failed,         // any other failure
};

// One modem the service manages, for the length of one operation.
class ManagedModem {
 public:
  virtual ~ManagedModem() = default;
  // Waits a few seconds for a modem the service is still setting up.
  virtual ServiceSimState SimState() = 0;
  // The state as the service reports it this moment, without waiting: NoSim
  // also while the service cannot tell yet (the modem still being set up),
  // for a caller that looks again by itself.
  virtual ServiceSimState SimStateNow() = 0;
  // The PIN tries left as the service counted them; nothing when it does
  // not know.
  virtual std::optional<unsigned> PinTriesLeft() = 0;
  // The PIN and PUK tries; nothing at all when the service did not answer
  // (each count is empty where the service does not know it).
  virtual std::optional<std::pair<std::optional<unsigned>, std::optional<unsigned>>> Tries() {
    return std::make_pair(PinTriesLeft(), std::optional<unsigned>());
  }
  virtual ServiceReply SendPin(const std::string& pin) = 0;
  // Switches the SIM's PIN request on or off, with the PIN as password.
  virtual ServiceReply SwitchPinRequest(const std::string& pin, bool on) = 0;
  // Unblocks a SIM that waits for its PUK and sets the new PIN.
  virtual ServiceReply SendPuk(const std::string& puk, const std::string& newPin) = 0;
  // Replaces the PIN of an unlocked SIM whose PIN request is on.
  virtual ServiceReply ChangePin(const std::string& oldPin, const std::string& newPin) = 0;
  // The maker and the model as the service names them; empty where it
  // does not know (or did not answer).
  virtual std::pair<std::string, std::string> MakerAndModel() { return {}; }
};

// Whether the service manages a port, as far as it answered.
enum class ServiceLookup {
  NotManaged,  // no service, or it does not manage this port: the port is ours
  Managed,
  NoAnswer,  // the service runs but did not answer in time: nothing is known,
             // and the port must not be taken from under it
};

// How long a question to the service may take where the caller sets no
// bound: long past any answer of a service that works, short of a user's
// patience.
constexpr unsigned kServiceQuestionMs = 10000;
// A call that carries a password: ModemManager passes it to the modem and
// waits for the SIM, and polkit may ask first; given up, the service may
// still send it.
constexpr unsigned kServicePasswordCallMs = 45000;

class ModemService {
 public:
  virtual ~ModemService() = default;
  // Whether the service manages the named port (as the user typed it), and
  // then the modem behind it. Every question of the lookup and of the modem
  // it gives, but for the calls that carry a password, is bounded by boundMs.
  virtual ServiceLookup Find(const std::string& portName, unsigned boundMs,
                             std::unique_ptr<ManagedModem>& modem) = 0;
  // The modem behind the named port, or nothing: then the port is the
  // program's to open (also when the service did not answer).
  std::unique_ptr<ManagedModem> ModemAt(const std::string& portName) {
    std::unique_ptr<ManagedModem> modem;
    Find(portName, kServiceQuestionMs, modem);
    return modem;
  }
  // The port of a modem the service manages, as the port field shows it;
  // nothing when it manages none that can be named there.
  virtual std::optional<std::string> ManagedPortName() = 0;
};

}  // namespace tessivo
