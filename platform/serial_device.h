// The one seam between the modem link and the operating system's serial port.
// Each platform provides one implementation (termios on Linux, the Win32
// communications API on Windows); the unit tests provide a scripted fake.
#pragma once

#include <cstddef>
#include <string>

namespace tessivo {

// Why an open failed, as the caller tells the user.
enum class PortOpenResult : int {
  Opened = 0,
  NotFound = 1,  // no device of that name
  Busy = 2,      // access refused; as a rule another program holds the port
  Faulty = 3,    // any other failure
};

// Read and write limits that every exchange with the modem is paced by.
constexpr unsigned kReadTimeoutMs = 100;
constexpr unsigned kWriteTimeoutConstantMs = 100;
constexpr unsigned kWriteTimeoutPerByteMs = 10;
constexpr unsigned kBaudRate = 9600;
constexpr unsigned kQueueSize = 128;

class SerialDevice {
 public:
  virtual ~SerialDevice() = default;

  // Opens the named port for exclusive reading and writing. On anything but
  // Opened no device is held and nothing was configured.
  virtual PortOpenResult Open(const std::string& name) = 0;

  // Clears the port's error state. Results are not reported.
  virtual void ClearErrors() = 0;

  // Discards output not yet sent and input not yet read.
  virtual void Purge() = 0;

  // 9600 baud, 8 data bits, no parity (checking off), one stop bit; every
  // other line setting (flow control, DTR/RTS) stays as the port had it.
  // Queue sizes of kQueueSize, and the read/write time-outs below. Failures
  // are ignored: a port that cannot be configured is still used.
  virtual void Configure() = 0;

  // Reads up to n bytes. Returns as soon as n bytes have arrived or
  // kReadTimeoutMs after the call began, whichever comes first, with the
  // number of bytes read (0 on time-out, error or a vanished device).
  virtual std::size_t Read(char* buffer, std::size_t n) = 0;

  // Writes n bytes, giving up kWriteTimeoutConstantMs + kWriteTimeoutPerByteMs
  // * n after the call began. Returns how many bytes went out (0 on error).
  virtual std::size_t Write(const char* data, std::size_t n) = 0;

  // Releases the port. Harmless when nothing is open.
  virtual void Close() = 0;
};

}  // namespace tessivo
