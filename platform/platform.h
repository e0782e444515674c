// What the portable code needs of the operating system besides the serial
// port: pauses, the speaker, and the raw command line. The product passes the
// host's implementation down; tests pass fakes that record and keep virtual
// time.
#pragma once

#include <memory>
#include <string>

#include "platform/serial_device.h"

namespace tessivo {

class Platform {
 public:
  virtual ~Platform() = default;

  // A fresh, unopened serial device.
  virtual std::unique_ptr<SerialDevice> NewSerialDevice() = 0;

  // Suspends the calling thread for ms milliseconds.
  virtual void Sleep(unsigned ms) = 0;

  // A tone of hz for ms milliseconds; returns when the tone has ended, never
  // earlier, whether or not a sound device played it.
  virtual void Beep(unsigned hz, unsigned ms) = 0;

  // The whole command line as one string, program path first.
  virtual std::string CommandLine() = 0;
};

// The platform of the machine the program runs on; defined once per platform.
Platform& HostPlatform();

}  // namespace tessivo
