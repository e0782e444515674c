// What ModemManager's properties and errors mean for Tessivo: pure
// functions, kept apart from the bus so the tables can be tested alone.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/modem_service.h"

namespace tessivo::mm {

// The properties of one modem object that Tessivo reads.
struct ModemProperties {
  std::string path;                                  // the object path
  std::vector<std::pair<std::string, uint32_t>> ports;  // kernel name, port type
  std::string primaryPort;
  std::string manufacturer;
  std::string model;
  uint32_t unlockRequired = 0;  // MMModemLock
  int32_t state = 0;            // MMModemState
  uint32_t failedReason = 0;    // MMModemStateFailedReason
  std::string sim;              // the SIM object path, "/" for none
  uint32_t enabledFacilityLocks = 0;  // MMModem3gppFacility bits
  bool hasFacilityLocks = false;      // the 3GPP interface is there
  std::map<uint32_t, uint32_t> unlockRetries;  // MMModemLock -> tries left
};

// MMModemLock values.
constexpr uint32_t kLockUnknown = 0;
constexpr uint32_t kLockNone = 1;
constexpr uint32_t kLockSimPin = 2;
constexpr uint32_t kLockSimPuk = 4;
// MMModemState values.
constexpr int32_t kStateFailed = -1;
constexpr int32_t kStateUnknown = 0;
constexpr int32_t kStateInitializing = 1;
// MMModem3gppFacility: the SIM's own PIN request.
constexpr uint32_t kFacilitySim = 1u << 0;

// The SIM state the modem's properties tell.
ServiceSimState SimStateOf(const ModemProperties& modem);

// The SIM state as it stands, for a caller that looks again by itself:
// NoSim while ModemManager is still setting the modem up or has not read the
// lock yet. Only a modem past its set-up has read the tries left as well, so
// a SIM waiting for its PIN is not reported before its count is known.
ServiceSimState SimStateNowOf(const ModemProperties& modem);

// The SIM PIN tries left, from UnlockRetries; nothing when not reported.
std::optional<unsigned> PinTriesOf(const ModemProperties& modem);
std::optional<unsigned> PukTriesOf(const ModemProperties& modem);

// Whether ModemManager has not yet made up its mind about the SIM (the
// modem is still being set up); worth asking again a moment later.
bool StillSettling(const ModemProperties& modem);

// A method call's failure, by the D-Bus error name (empty for none) and the
// negative errno sd-bus reported.
ServiceReply ReplyForError(const std::string& errorName, int error);

// The last part of a device path after every link is resolved: the name the
// kernel and ModemManager know the port by.
std::string KernelName(const std::string& resolvedPath);

}  // namespace tessivo::mm
