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
  std::int64_t MonotonicMs() override;
  std::string CommandLine() override;
  // Windows hands over one command line, and a GUI-subsystem program has no
  // terminal: the rest has nothing to do here.
  std::optional<std::vector<std::string>> Arguments() override { return std::nullopt; }
  void HideArgument(std::size_t) override {}
  std::optional<std::string> ReadSecretLine(unsigned) override { return std::nullopt; }
  void WriteOutput(const std::string& text) override;
  // A GUI-subsystem program has a standard error handle only when whoever
  // started it gave it one (a redirect, a service wrapper); the text goes
  // there then: to a console as Unicode, to a file or pipe as the bytes.
  void WriteError(const std::string& text) override;
  // COM3 for com3: Windows' port names are the devices' own names.
  std::string PortLockKey(const std::string& port) override;
  // A named mutex per port, in the machine-wide namespace where one may be
  // made there, so runs in other sessions meet too.
  std::unique_ptr<PortLock> LockPort(const std::string& key, unsigned waitMs) override;
};

}  // namespace tessivo
