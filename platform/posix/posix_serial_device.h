// The serial device on Linux: a terminal, and only a terminal that is no
// console and nobody's screen, opened raw and exclusively, left with the
// settings it had, with reads and writes that keep the Windows time-out semantics
// the modem exchange is paced by (poll against a monotonic deadline; termios VMIN/VTIME cannot
// return a reply that arrives in pieces within 100 ms as one read).
#pragma once

#include <termios.h>

#include "platform/serial_device.h"

namespace tessivo {

class PosixSerialDevice : public SerialDevice {
 public:
  PosixSerialDevice() = default;
  ~PosixSerialDevice() override;

  PortOpenResult Open(const std::string& name) override;
  void ClearErrors() override {}
  void Purge() override;
  void Configure() override;
  std::size_t Read(char* buffer, std::size_t n) override;
  std::size_t Write(const char* data, std::size_t n) override;
  void Close() override;

  // errno of an open attempt, as the user would be told it.
  static PortOpenResult ClassifyOpenError(int error);

 private:
  int fd_ = -1;
  bool exclusiveSet_ = false;  // this program put the tty into exclusive mode
  bool settingsSaved_ = false;
  termios savedSettings_{};  // as the tty was before Configure
};

}  // namespace tessivo
