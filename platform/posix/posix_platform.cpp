#include "platform/posix/posix_platform.h"

#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/posix/port_lock.h"
#include "platform/posix/posix_serial_device.h"
#include "platform/posix/terminal.h"
#include "platform/posix/tone_player.h"

namespace tessivo {

std::string PosixPlatform::PortLockKey(const std::string& port) {
  return PosixPortLockKey(port);
}

std::unique_ptr<PortLock> PosixPlatform::LockPort(const std::string& key, unsigned waitMs) {
  return PosixLockPort(key, waitMs);
}

std::unique_ptr<SerialDevice> PosixPlatform::NewSerialDevice() {
  return std::make_unique<PosixSerialDevice>();
}

void PosixPlatform::Sleep(unsigned ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void PosixPlatform::Beep(unsigned hz, unsigned ms) {
  PlayTone(hz, ms);
}

std::string PosixPlatform::CommandLine() {
  std::string line;
  for (std::size_t i = 0; i < arguments_.size(); ++i) {
    if (i > 0) line += ' ';
    line += arguments_[i];
  }
  return line;
}

void PosixPlatform::HideArgument(std::size_t index) {
  if (index >= argv_.size() || argv_[index] == nullptr) return;
  std::memset(argv_[index], '*', std::strlen(argv_[index]));
  std::fill(arguments_[index].begin(), arguments_[index].end(), '*');  // our own copy too
}

std::optional<std::string> PosixPlatform::ReadSecretLine(unsigned timeoutMs) {
  return ReadLineWithoutEcho(STDIN_FILENO, timeoutMs);
}

std::string PosixPlatform::SecretInputRefusal() {
  return UnsafeSecretFileLine(STDIN_FILENO);
}

void PosixPlatform::WriteOutput(const std::string& text) {
  WriteUtf8(STDOUT_FILENO, text);
}

void PosixPlatform::WriteError(const std::string& text) {
  WriteUtf8(STDERR_FILENO, text);
}

void PosixPlatform::SetArguments(int argc, char** argv) {
  arguments_.clear();
  argv_.clear();
  for (int i = 0; i < argc; ++i) {
    arguments_.emplace_back(argv[i]);
    argv_.push_back(argv[i]);
  }
}

void KeepProcessMemoryPrivate() {
  const rlimit noCore{0, 0};
  setrlimit(RLIMIT_CORE, &noCore);
  prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}

Platform& HostPlatform() {
  static PosixPlatform platform;
  return platform;
}

}  // namespace tessivo
