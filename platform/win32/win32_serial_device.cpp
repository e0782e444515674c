#include "platform/win32/win32_serial_device.h"

#include <algorithm>

namespace tessivo {
namespace {

// ReadFile and WriteFile take a DWORD count; our chunks are far smaller, but
// a size_t must never wrap into a small count.
DWORD ClampToDword(std::size_t n) {
  return static_cast<DWORD>(std::min<std::size_t>(n, MAXDWORD));
}

}  // namespace

Win32SerialDevice::~Win32SerialDevice() {
  // The owner closes the port; this only keeps a forgotten handle from
  // blocking the port for the rest of the process.
  Close();
}

std::string Win32SerialDevice::DevicePath(const std::string& name) {
  return "\\\\.\\" + name;
}

PortOpenResult Win32SerialDevice::ClassifyOpenError(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
      return PortOpenResult::NotFound;
    case ERROR_ACCESS_DENIED:
      return PortOpenResult::Busy;
    default:
      // Any other refusal. (A port another program holds is refused by
      // Windows with ERROR_ACCESS_DENIED; Wine does not check sharing on
      // serial devices and simply opens it a second time.)
      return PortOpenResult::Faulty;
  }
}

PortOpenResult Win32SerialDevice::Open(const std::string& name) {
  Close();
  handle_ = CreateFileA(DevicePath(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                        OPEN_EXISTING, 0, nullptr);
  // The handle decides: a valid one is ours to configure and close whatever
  // the error code says, so the port never stays held behind a failure.
  if (handle_ != INVALID_HANDLE_VALUE) return PortOpenResult::Opened;
  return ClassifyOpenError(GetLastError());
}

void Win32SerialDevice::ClearErrors() {
  DWORD errors = 0;
  COMSTAT status{};
  ClearCommError(handle_, &errors, &status);
}

void Win32SerialDevice::Purge() {
  PurgeComm(handle_, PURGE_TXCLEAR | PURGE_RXCLEAR);
}

void Win32SerialDevice::Configure() {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  // Only the five line settings change; flow control and the DTR/RTS
  // handling stay as the port had them. Without the current settings there
  // is nothing safe to write back.
  if (GetCommState(handle_, &dcb)) {
    dcb.BaudRate = kBaudRate;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.fParity = FALSE;
    dcb.StopBits = ONESTOPBIT;
    SetCommState(handle_, &dcb);
  }

  SetupComm(handle_, kQueueSize, kQueueSize);

  COMMTIMEOUTS timeouts{};
  GetCommTimeouts(handle_, &timeouts);
  // A read returns at its byte count or kReadTimeoutMs after it began; a
  // write of n bytes gives up after 100 + 10 * n ms.
  timeouts.ReadIntervalTimeout = 0;
  timeouts.ReadTotalTimeoutMultiplier = 0;
  timeouts.ReadTotalTimeoutConstant = kReadTimeoutMs;
  timeouts.WriteTotalTimeoutMultiplier = kWriteTimeoutPerByteMs;
  timeouts.WriteTotalTimeoutConstant = kWriteTimeoutConstantMs;
  SetCommTimeouts(handle_, &timeouts);
}

std::size_t Win32SerialDevice::Read(char* buffer, std::size_t n) {
  // The success flag is not consulted: a failed read reports 0 bytes.
  DWORD got = 0;
  ReadFile(handle_, buffer, ClampToDword(n), &got, nullptr);
  return got;
}

std::size_t Win32SerialDevice::Write(const char* data, std::size_t n) {
  DWORD sent = 0;
  WriteFile(handle_, data, ClampToDword(n), &sent, nullptr);
  return sent;
}

void Win32SerialDevice::Close() {
  if (handle_ == INVALID_HANDLE_VALUE) return;
  CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
}

}  // namespace tessivo
