// The host platform on Linux.
#pragma once

#include <string>

#include "platform/platform.h"

namespace tessivo {

class PosixPlatform : public Platform {
 public:
  std::unique_ptr<SerialDevice> NewSerialDevice() override;
  void Sleep(unsigned ms) override;
  void Beep(unsigned hz, unsigned ms) override;
  std::string CommandLine() override { return commandLine_; }

  // Linux has no single command-line string: the program path and its
  // arguments joined by single spaces stand in for it.
  void SetArguments(int argc, char** argv);

 private:
  std::string commandLine_;
};

}  // namespace tessivo
