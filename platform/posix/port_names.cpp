#include "platform/posix/port_names.h"

#include "text/cp1252.h"

namespace tessivo {
namespace {

// The n of "COMn": 1..99, decimal, no leading zero, nothing else around it.
std::optional<int> PortNumber(const std::string& name) {
  const std::string upper = ToUpper1252(name);
  if (upper.size() < 4 || upper.size() > 5 || upper.compare(0, 3, "COM") != 0) return std::nullopt;
  int number = 0;
  for (std::size_t i = 3; i < upper.size(); ++i) {
    const char c = upper[i];
    if (c < '0' || c > '9') return std::nullopt;
    number = number * 10 + (c - '0');
  }
  if (upper[3] == '0') return std::nullopt;
  return number;
}

}  // namespace

std::optional<std::string> DevicePathForPort(const std::string& portName,
                                             const char* portDirectory) {
  if (!portName.empty() && portName.front() == '/') return portName;
  const auto number = PortNumber(portName);
  if (!number) return std::nullopt;
  const int n = *number;
  if (portDirectory != nullptr && *portDirectory != '\0') {
    return std::string(portDirectory) + "/com" + std::to_string(n);
  }
  if (n <= 10) return "/dev/ttyUSB" + std::to_string(n - 1);
  if (n <= 20) return "/dev/ttyACM" + std::to_string(n - 11);
  return "/dev/ttyS" + std::to_string(n - 21);
}

}  // namespace tessivo
