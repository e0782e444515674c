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

namespace tessivo {

// The SIM as the service reports it.
enum class ServiceSimState {
  PinRequired,    // waits for its PIN (or another PIN-type code)
  PukRequired,    // waits for its PUK (or another PUK-type code)
  Unlocked,       // open, the PIN request on
  PinRequestOff,  // open, the PIN request off
  NoSim,          // no usable SIM, or the service cannot tell
};

// What the service answered to a password.
enum class ServiceReply {
  Accepted,
  WrongPassword,  // the SIM refused the password (a try is gone)
  Refused,        // the service refused the caller (authorisation)
  WrongState,     // the SIM was not in a state for this command
  NoAnswer,       // the service or the modem did not answer in time
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
  virtual ServiceReply SendPin(const std::string& pin) = 0;
  // Switches the SIM's PIN request on or off, with the PIN as password.
  virtual ServiceReply SwitchPinRequest(const std::string& pin, bool on) = 0;
};

class ModemService {
 public:
  virtual ~ModemService() = default;
  // The modem the service manages behind the named port (as the user typed
  // it), or nothing: then the port is the program's to open.
  virtual std::unique_ptr<ManagedModem> ModemAt(const std::string& portName) = 0;
  // The port of a modem the service manages, as the port field shows it;
  // nothing when it manages none that can be named there.
  virtual std::optional<std::string> ManagedPortName() = 0;
};

}  // namespace tessivo
