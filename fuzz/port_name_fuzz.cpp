// What the dialog does with the typed port name, and where Linux looks for
// the port. Normalisation never refuses a name: it leaves an upper-cased
// "COM" name with a usable first number (or none) as it is, and rebuilds
// everything else as "COM<n>", a name the Linux port table always knows.
// Names the table knows are never rewritten, so a port found once stays the
// same port; a name beginning with "/" is a device path, taken as it is.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "fuzz/property.h"
#include "operations/reply_classification.h"
#include "platform/posix/port_names.h"
#include "text/cp1252.h"

namespace tessivo {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The first number in the text, read without any arithmetic that could
// overflow: 0 when it is 0 or above 99, 1 when there is no digit.
int FirstNumber(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && !IsDigit(text[i])) ++i;
  if (i == text.size()) return 1;
  while (i + 1 < text.size() && text[i] == '0' && IsDigit(text[i + 1])) ++i;
  std::size_t end = i;
  while (end < text.size() && IsDigit(text[end])) ++end;
  if (end - i > 2) return 0;
  return std::stoi(text.substr(i, end - i));
}

// "COMn" exactly, n from 1 to 99 without a leading zero; 0 for anything else.
int CanonicalNumber(const std::string& upper) {
  for (int n = 1; n <= 99; ++n) {
    if (upper == "COM" + std::to_string(n)) return n;
  }
  return 0;
}

std::string ExpectedDevice(int n) {
  if (n <= 10) return "/dev/ttyUSB" + std::to_string(n - 1);
  if (n <= 20) return "/dev/ttyACM" + std::to_string(n - 11);
  return "/dev/ttyS" + std::to_string(n - 21);
}

void CheckName(const std::string& name) {
  const std::string upper = ToUpper1252(name);
  const std::string normal = NormalizedPortName(name);

  const int n = FirstNumber(upper);
  const bool acceptable = upper.compare(0, 3, "COM") == 0 && n >= 1;
  const std::string expected = acceptable ? upper : "COM" + std::to_string(n >= 1 ? n : 1);
  CHECK_PROPERTY(normal == expected, name);
  CHECK_PROPERTY(NormalizedPortName(normal) == normal, name);
  CHECK_PROPERTY(normal.size() <= 5 || normal == upper, name);

  // A rewritten name is one the Linux port table maps, to the device of its number.
  if (normal != upper) {
    const int rebuilt = CanonicalNumber(normal);
    CHECK_PROPERTY(rebuilt >= 1, name);
    CHECK_PROPERTY(DevicePathForPort(normal, nullptr) == ExpectedDevice(rebuilt), name);
  }

  // A device path is used exactly as given, whatever the port folder.
  if (!name.empty() && name[0] == '/') {
    CHECK_PROPERTY(DevicePathForPort(name, nullptr) == name, name);
    CHECK_PROPERTY(DevicePathForPort(name, "/ports") == name, name);
    CHECK_PROPERTY(DevicePathForPort(name, "") == name, name);
    return;
  }

  // The table: exactly "COM1".."COM99" in any letter case, nothing else.
  const int known = CanonicalNumber(upper);
  const auto device = DevicePathForPort(name, nullptr);
  CHECK_PROPERTY(device.has_value() == (known >= 1), name);
  if (device) {
    CHECK_PROPERTY(*device == ExpectedDevice(known), name);
    CHECK_PROPERTY(normal == upper, name);
    CHECK_PROPERTY(DevicePathForPort(ToLower1252(name), nullptr) == device, name);
    CHECK_PROPERTY(DevicePathForPort(name, "/ports") == "/ports/com" + std::to_string(known), name);
  } else {
    CHECK_PROPERTY(!DevicePathForPort(name, "/ports"), name);
  }
  CHECK_PROPERTY(DevicePathForPort(name, "") == device, name);
}

}  // namespace
}  // namespace tessivo

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string name(reinterpret_cast<const char*>(data), size);
  tessivo::CheckName(name);
  // The port field holds at most five characters; its names normalise to at
  // most five as well.
  const std::string field = name.substr(0, 5);
  tessivo::CheckName(field);
  CHECK_PROPERTY(tessivo::NormalizedPortName(field).size() <= 5, field);
  return 0;
}
