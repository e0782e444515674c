// Where a port name lives on Linux.
//
// A name beginning with "/" is a device path and used exactly as given
// (/dev/ttyUSB2, /dev/serial/by-id/...). Otherwise, with TESSIVO_PORT_DIR
// set, COMn (any case, n without leading zeros) is the file "comn" in that
// folder, the way Wine's dosdevices folder maps them; the tests and the demo
// put the virtual modem there. Otherwise:
//   COM1..COM10  -> /dev/ttyUSB0..9   (USB modems, so the COM1..COM20 scan
//   COM11..COM20 -> /dev/ttyACM0..9    at dialog start covers them)
//   COM21..COM99 -> /dev/ttyS0..78
// Any other name has no device.
#pragma once

#include <optional>
#include <string>

namespace tessivo {

std::optional<std::string> DevicePathForPort(const std::string& portName,
                                             const char* portDirectory);

}  // namespace tessivo
