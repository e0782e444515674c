#include "platform/posix/posix_platform.h"

#include <chrono>
#include <thread>

#include "platform/posix/posix_serial_device.h"
#include "platform/posix/tone_player.h"

namespace tessivo {

std::unique_ptr<SerialDevice> PosixPlatform::NewSerialDevice() {
  return std::make_unique<PosixSerialDevice>();
}

void PosixPlatform::Sleep(unsigned ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void PosixPlatform::Beep(unsigned hz, unsigned ms) {
  PlayTone(hz, ms);
}

void PosixPlatform::SetArguments(int argc, char** argv) {
  commandLine_.clear();
  for (int i = 0; i < argc; ++i) {
    if (i > 0) commandLine_ += ' ';
    commandLine_ += argv[i];
  }
}

Platform& HostPlatform() {
  static PosixPlatform platform;
  return platform;
}

}  // namespace tessivo
