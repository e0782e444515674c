#include "platform/win32/win32_platform.h"

#include <windows.h>

#include "platform/win32/win32_serial_device.h"
#include "text/cp1252.h"
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

namespace {

class MutexLock : public PortLock {
 public:
  explicit MutexLock(HANDLE mutex) : mutex_(mutex) {}
  ~MutexLock() override {
    ReleaseMutex(mutex_);
    CloseHandle(mutex_);
  }

 private:
  HANDLE mutex_;
};

}  // namespace

std::string Win32Platform::PortLockKey(const std::string& port) {
  return ToUpper1252(port);
}

std::unique_ptr<PortLock> Win32Platform::LockPort(const std::string& key, unsigned waitMs) {
  const std::string name = "Tessivo.Port." + key;
  HANDLE mutex = CreateMutexA(nullptr, FALSE, ("Global\\" + name).c_str());
  if (!mutex) mutex = CreateMutexA(nullptr, FALSE, ("Local\\" + name).c_str());
  if (!mutex) return std::make_unique<PortLock>();
  // An owner that ended without letting go leaves the mutex abandoned: ours.
  const DWORD waited = WaitForSingleObject(mutex, waitMs);
  if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) return std::make_unique<MutexLock>(mutex);
  CloseHandle(mutex);
  return nullptr;
}

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

namespace {

// To a console as UTF-16, so the umlauts come out whatever its code page;
// to a pipe or a file as the Windows-1252 bytes they are.
void WriteText(HANDLE handle, const std::string& text) {
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

}  // namespace

void Win32Platform::WriteOutput(const std::string& text) {
  static HANDLE handle = [] {
    HANDLE given = GetStdHandle(STD_OUTPUT_HANDLE);
    if (given != nullptr && given != INVALID_HANDLE_VALUE) return given;
    // Typed into cmd.exe, a program without a console of its own has no
    // standard output: it writes to the console of the shell that started
    // it, as such programs do. cmd.exe does not wait for it, so the lines
    // may come after the next prompt.
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return INVALID_HANDLE_VALUE;
    return CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  }();
  WriteText(handle, text);
}

void Win32Platform::WriteError(const std::string& text) {
  WriteText(GetStdHandle(STD_ERROR_HANDLE), text);
}

Platform& HostPlatform() {
  static Win32Platform platform;
  return platform;
}

}  // namespace tessivo
