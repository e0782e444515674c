// The host platform on Linux.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace tessivo {

class PosixPlatform : public Platform {
 public:
  std::unique_ptr<SerialDevice> NewSerialDevice() override;
  void Sleep(unsigned ms) override;
  void Beep(unsigned hz, unsigned ms) override;
  // Linux has no single command-line string: the program path and its
  // arguments joined by single spaces stand in for it.
  std::string CommandLine() override;
  std::optional<std::vector<std::string>> Arguments() override { return arguments_; }
  // Overwrites the argument in main's argv, the memory the process list
  // (/proc/PID/cmdline, ps) shows.
  void HideArgument(std::size_t index) override;
  std::optional<std::string> ReadSecretLine(unsigned timeoutMs) override;
  std::string SecretInputRefusal() override;
  void WriteOutput(const std::string& text) override;
  void WriteError(const std::string& text) override;
  ModemService* ManagingService() override { return service_; }
  std::string PortLockKey(const std::string& port) override;
  std::unique_ptr<PortLock> LockPort(const std::string& key, unsigned waitMs) override;

  // main's arguments; argv must stay valid for the life of the program.
  void SetArguments(int argc, char** argv);
  // The service asked before a port is opened (ModemManager); none by
  // default, so a program that sets none talks AT on every port.
  void SetManagingService(ModemService* service) { service_ = service; }

 private:
  std::vector<std::string> arguments_;
  std::vector<char*> argv_;
  ModemService* service_ = nullptr;
};

// Keeps the PIN out of reach of other eyes for the rest of the process: no
// core dump (core size limit 0, also for the programs it starts) and not
// dumpable, which also makes /proc/PID/mem, environ and the like root's and
// refuses other processes of the same user a ptrace attach. Call before any
// PIN is read.
void KeepProcessMemoryPrivate();

}  // namespace tessivo
