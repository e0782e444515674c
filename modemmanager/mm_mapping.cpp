#include "modemmanager/mm_mapping.h"

#include <cerrno>

namespace tessivo::mm {
namespace {

bool EndsWith(const std::string& text, const char* tail) {
  const std::string t(tail);
  return text.size() >= t.size() && text.compare(text.size() - t.size(), t.size(), t) == 0;
}

}  // namespace

// Every other code the modem may wait for is a PIN or a PUK of some kind
// (sim-pin2, ph-net-pin, ph-corp-puk, ...); the serial way reads "PIN" or
// "PUK" out of +CPIN's answer alike, whatever code it names.
ServiceSimState SimStateOf(const ModemProperties& modem) {
  const uint32_t lock = modem.unlockRequired;
  if (modem.state == kStateFailed || lock == kLockUnknown) return ServiceSimState::NoSim;
  if (lock == kLockNone) {
    if (modem.hasFacilityLocks && !(modem.enabledFacilityLocks & kFacilitySim)) {
      return ServiceSimState::PinRequestOff;
    }
    return ServiceSimState::Unlocked;
  }
  // MMModemLock: sim-puk 4, sim-puk2 5, ph-sp-puk 7, ph-net-puk 9,
  // ph-corp-puk 12, ph-fsim-puk 14, ph-netsub-puk 16; the last value is 16.
  for (uint32_t puk : {4u, 5u, 7u, 9u, 12u, 14u, 16u}) {
    if (lock == puk) return ServiceSimState::PukRequired;
  }
  return lock <= 16 ? ServiceSimState::PinRequired : ServiceSimState::NoSim;
}

ServiceSimState SimStateNowOf(const ModemProperties& modem) {
  if (modem.state == kStateUnknown || modem.state == kStateInitializing) {
    return ServiceSimState::NoSim;
  }
  return SimStateOf(modem);
}

std::optional<unsigned> PinTriesOf(const ModemProperties& modem) {
  const auto found = modem.unlockRetries.find(kLockSimPin);
  // ModemManager's own mark for a count it could not read.
  constexpr uint32_t kRetriesUnknown = 999;
  if (found == modem.unlockRetries.end() || found->second == kRetriesUnknown) return std::nullopt;
  return found->second;
}

std::optional<unsigned> PukTriesOf(const ModemProperties& modem) {
  const auto found = modem.unlockRetries.find(kLockSimPuk);
  constexpr uint32_t kRetriesUnknown = 999;
  if (found == modem.unlockRetries.end() || found->second == kRetriesUnknown) return std::nullopt;
  return found->second;
}

bool StillSettling(const ModemProperties& modem) {
  return modem.state != kStateFailed && modem.unlockRequired == kLockUnknown &&
         (modem.state == kStateUnknown || modem.state == kStateInitializing);
}

ServiceReply ReplyForError(const std::string& errorName, int error) {
  if (errorName.empty() && error >= 0) return ServiceReply::Accepted;
  const std::string mm = "org.freedesktop.ModemManager1.Error.";
  // The wrong PIN that used the last try leaves the SIM waiting for its PUK;
  // it was a wrong password all the same.
  if (errorName == mm + "MobileEquipment.IncorrectPassword" ||
      errorName == mm + "MobileEquipment.SimPuk") {
    return ServiceReply::WrongPassword;
  }
  if (errorName == mm + "Core.Unauthorized" || errorName == "org.freedesktop.DBus.Error.AccessDenied") {
    return ServiceReply::Refused;
  }
  if (errorName == mm + "Core.WrongState") return ServiceReply::WrongState;
  if (errorName == "org.freedesktop.DBus.Error.NoReply" ||
      errorName == "org.freedesktop.DBus.Error.Timeout" ||
      errorName == "org.freedesktop.DBus.Error.TimedOut" ||
      errorName == "org.freedesktop.DBus.Error.ServiceUnknown" ||
      errorName == "org.freedesktop.DBus.Error.NameHasNoOwner" ||
      errorName == "org.freedesktop.DBus.Error.Disconnected" ||
      EndsWith(errorName, ".ResponseTimeout") || EndsWith(errorName, ".Core.Retry")) {
    return ServiceReply::NoAnswer;
  }
  if (errorName.empty()) {
    if (error == -ETIMEDOUT || error == -ECONNRESET || error == -ENOTCONN) {
      return ServiceReply::NoAnswer;
    }
  }
  return ServiceReply::Failed;
}

std::string KernelName(const std::string& resolvedPath) {
  const std::size_t slash = resolvedPath.rfind('/');
  return slash == std::string::npos ? resolvedPath : resolvedPath.substr(slash + 1);
}

}  // namespace tessivo::mm
