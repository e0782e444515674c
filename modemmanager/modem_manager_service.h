// The SIM operations' way through ModemManager's D-Bus API, on the system
// bus, with sd-bus: synchronous calls, no event loop, a connection only for
// the length of one question or command.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/modem_service.h"

namespace tessivo {

class ModemManagerService : public ModemService {
 public:
  // A port counts as ModemManager's when the service has an owner on the bus
  // (it is never started for the question) and one of its modems lists the
  // port's kernel name among its ports. COMn names resolve through the port
  // table first (TESSIVO_PORT_DIR or the fixed one), links are followed.
  ServiceLookup Find(const std::string& portName, unsigned boundMs,
                     std::unique_ptr<ManagedModem>& modem) override;
  // The first modem's primary port, by its COMn name; nothing when no COMn
  // name in the table leads there (the port field holds five characters).
  std::optional<std::string> ManagedPortName() override;
};

// The one instance the programs hand to their platform.
ModemManagerService& TheModemManagerService();

// The kernel name the named port leads to (COM3 -> /dev/ttyUSB2 -> ttyUSB2),
// or nothing when the port has no device that exists.
std::optional<std::string> KernelNameOfPort(const std::string& portName);

}  // namespace tessivo
