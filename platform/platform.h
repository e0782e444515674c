// What the portable code needs of the operating system besides the serial
// port: pauses, the speaker, the command line, and on Linux the terminal
// (standard input and output). The product passes the host's implementation
// down; tests pass fakes that record and keep virtual time.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/modem_service.h"
#include "platform/serial_device.h"

namespace tessivo {

// Keeps every other Tessivo run on this machine away from one port while a
// run looks at it or sends to it; released with the object.
class PortLock {
 public:
  virtual ~PortLock() = default;
};

class Platform {
 public:
  virtual ~Platform() = default;

  // A fresh, unopened serial device.
  virtual std::unique_ptr<SerialDevice> NewSerialDevice() = 0;

  // Suspends the calling thread for ms milliseconds.
  virtual void Sleep(unsigned ms) = 0;

  // Milliseconds on a clock that never jumps (no wall-clock changes), from
  // an arbitrary start. The standard library's steady clock serves every
  // host; tests override it with their virtual time.
  virtual std::int64_t MonotonicMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
  }

  // A tone of hz for ms milliseconds; returns when the tone has ended, never
  // earlier, whether or not a sound device played it.
  virtual void Beep(unsigned hz, unsigned ms) = 0;

  // The whole command line as one string, program path first.
  virtual std::string CommandLine() = 0;

  // The arguments one by one, program name first, where the system hands
  // them over that way (Linux); nothing where it hands over one line
  // (Windows, see CommandLine).
  virtual std::optional<std::vector<std::string>> Arguments() = 0;

  // Overwrites argument `index` of the running process with '*', so the
  // process list no longer shows it. Nothing where arguments are not kept
  // one by one.
  virtual void HideArgument(std::size_t index) = 0;

  // The first line of standard input without its line end, read without
  // echo when the input is a terminal; at most a few hundred bytes of it.
  // Nothing when there is no input or it ends before any byte, or when
  // timeoutMs (0: no bound) pass before the line has ended.
  virtual std::optional<std::string> ReadSecretLine(unsigned timeoutMs = 0) = 0;

  // Why standard input must not be read for a secret, as one line naming
  // the fault and its remedy; empty when it may be read. A file that other
  // users may read has given the secret away already.
  virtual std::string SecretInputRefusal() { return {}; }

  // Windows-1252 text to standard output or standard error, in the
  // terminal's encoding. Nothing where there is no terminal.
  virtual void WriteOutput(const std::string& text) = 0;
  virtual void WriteError(const std::string& text) = 0;

  // The name under which runs meet for a port: where the port leads to a
  // device that exists, the device's own name, so that a link, the device
  // path and a COMn name for the same modem meet; otherwise the name as given.
  virtual std::string PortLockKey(const std::string& port) { return port; }

  // Takes the lock for `key`, waiting up to waitMs while another run holds
  // it; nothing when it is still held then. Where no lock can be had at all
  // (no place to keep one), a lock that holds nothing: a run never fails for
  // want of one.
  virtual std::unique_ptr<PortLock> LockPort(const std::string& key, unsigned waitMs) {
    (void)key;
    (void)waitMs;
    return std::make_unique<PortLock>();
  }

  // The service that manages modems on this system, where there can be one
  // (ModemManager on Linux); nothing where the ports are always the
  // program's own.
  virtual ModemService* ManagingService() { return nullptr; }
};

// The platform of the machine the program runs on; defined once per platform.
Platform& HostPlatform();

}  // namespace tessivo
