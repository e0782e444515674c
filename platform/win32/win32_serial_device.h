// The serial device on Windows: the Win32 communications API, opened
// exclusively and without overlapped I/O, so that ReadFile and WriteFile block
// under the port's time-outs and pace the modem exchange.
#pragma once

#include <windows.h>

#include <string>

#include "platform/serial_device.h"

namespace tessivo {

class Win32SerialDevice : public SerialDevice {
 public:
  Win32SerialDevice() = default;
  ~Win32SerialDevice() override;

  Win32SerialDevice(const Win32SerialDevice&) = delete;
  Win32SerialDevice& operator=(const Win32SerialDevice&) = delete;

  PortOpenResult Open(const std::string& name) override;
  void ClearErrors() override;
  void Purge() override;
  void Configure() override;
  std::size_t Read(char* buffer, std::size_t n) override;
  std::size_t Write(const char* data, std::size_t n) override;
  void Close() override;

  // What CreateFileA is given for a port name: Windows finds COM10 and above
  // only in the device namespace, so every name goes there ("\\.\COM12").
  static std::string DevicePath(const std::string& name);

  // GetLastError of a failed CreateFileA, as the user would be told it.
  static PortOpenResult ClassifyOpenError(DWORD error);

  // For tests that read the port's settings back.
  HANDLE NativeHandle() const { return handle_; }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

}  // namespace tessivo
