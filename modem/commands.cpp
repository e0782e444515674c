#include "modem/commands.h"

namespace tessivo {

bool IsSafePin(const std::string& pin) {
  if (pin.empty()) return false;
  for (char c : pin) {
    const bool alnum = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!alnum) return false;
  }
  return true;
}

}  // namespace tessivo
