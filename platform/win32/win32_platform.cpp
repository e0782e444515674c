#include "platform/win32/win32_platform.h"

#include <windows.h>

#include "platform/win32/win32_serial_device.h"
#include "text/unicode_1252.h"

namespace tessivo {
namespace {

// Milliseconds since `start` on the performance counter, rounded down, so a
// tone is never cut short by rounding.
unsigned long long MillisecondsSince(const LARGE_INTEGER& start) {
  LARGE_INTEGER now{};
  LARGE_INTEGER frequency{};
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return static_cast<unsigned long long>(now.QuadPart - start.QuadPart) * 1000ULL /
         static_cast<unsigned long long>(frequency.QuadPart);
}

// A console takes UTF-16; the text goes in pieces of this many units, so no
// buffer on the heap is needed for it.
constexpr std::size_t kConsoleChunk = 256;

}  // namespace

std::unique_ptr<SerialDevice> Win32Platform::NewSerialDevice() {
  return std::make_unique<Win32SerialDevice>();
}

void Win32Platform::Sleep(unsigned ms) {
  ::Sleep(ms);
}

void Win32Platform::Beep(unsigned hz, unsigned ms) {
  LARGE_INTEGER start{};
  QueryPerformanceCounter(&start);
  ::Beep(hz, ms);
  // Beep fails at once on a machine without a sound device, and Wine's Beep
  // returns without waiting; the signal's rhythm (and the caller's timing)
  // must not depend on either, so the rest of the tone is waited out.
  const unsigned long long elapsed = MillisecondsSince(start);
  if (elapsed < ms) ::Sleep(static_cast<DWORD>(ms - elapsed));
}

std::int64_t Win32Platform::MonotonicMs() {
  // The performance counter, as the tones use it: it never jumps, and it
  // spares the program the C++ library's clock, which on this toolchain
  // brings a POSIX threads layer along.
  LARGE_INTEGER now{};
  LARGE_INTEGER frequency{};
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  // In two parts, so the multiplication cannot overflow however long the
  // machine has been up.
  const long long whole = now.QuadPart / frequency.QuadPart;
  const long long rest = now.QuadPart % frequency.QuadPart;
  return whole * 1000 + rest * 1000 / frequency.QuadPart;
}

std::string Win32Platform::CommandLine() {
  const char* line = GetCommandLineA();
  return line ? line : "";
}

void Win32Platform::WriteError(const std::string& text) {
  const HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE || text.empty()) return;
  DWORD mode = 0;
  DWORD written = 0;
  if (GetConsoleMode(handle, &mode)) {
    // Every Windows-1252 character lies in the Basic Multilingual Plane, so
    // one UTF-16 unit each.
    wchar_t wide[kConsoleChunk];
    std::size_t used = 0;
    for (char byte : text) {
      wide[used++] = static_cast<wchar_t>(UnicodeFrom1252(byte));
      if (used == kConsoleChunk) {
        WriteConsoleW(handle, wide, static_cast<DWORD>(used), &written, nullptr);
        used = 0;
      }
    }
    if (used > 0) WriteConsoleW(handle, wide, static_cast<DWORD>(used), &written, nullptr);
    return;
  }
  WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

Platform& HostPlatform() {
  static Win32Platform platform;
  return platform;
}

}  // namespace tessivo
