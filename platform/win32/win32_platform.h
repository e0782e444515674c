// The host platform on Windows (and under Wine).
#pragma once

#include <string>

#include "platform/platform.h"

namespace tessivo {

class Win32Platform : public Platform {
 public:
  std::unique_ptr<SerialDevice> NewSerialDevice() override;
  void Sleep(unsigned ms) override;
  void Beep(unsigned hz, unsigned ms) override;
  std::string CommandLine() override;
};

}  // namespace tessivo
