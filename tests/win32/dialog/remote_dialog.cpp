#include "tests/win32/dialog/remote_dialog.h"

#include <psapi.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

namespace tessivo::win32test {
namespace {

struct Search {
  DWORD processId;
  HWND found;
};

// The program's dialog: a visible top-level window of the standard dialog
// class, captioned "Tessivo", belonging to the process we started.
BOOL CALLBACK FindDialog(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<Search*>(parameter);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  char className[32] = {};
  char caption[32] = {};
  GetClassNameA(window, className, sizeof className);
  GetWindowTextA(window, caption, sizeof caption);
  if (owner == search->processId && IsWindowVisible(window) && std::string(className) == "#32770" &&
      std::string(caption) == "Tessivo") {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

// Before any window is looked at: a driver the system thought unaware of
// the scale would see every coordinate of an aware program scaled down.
// Aware per monitor where the system knows it, as a screen reader should
// be: Wine 10 gives a process that is only aware of the system's scale a
// screen 1.5 times the real one at 150 %, whose screen DC reads black.
bool BecomeDpiAware() {
  using SetContext = BOOL(WINAPI*)(HANDLE);
  const FARPROC proc =
      GetProcAddress(GetModuleHandleA("user32.dll"), "SetProcessDpiAwarenessContext");
  const auto perMonitorV2 = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4));
  if (proc && reinterpret_cast<SetContext>(reinterpret_cast<void*>(proc))(perMonitorV2)) {
    return true;
  }
  return SetProcessDPIAware() != 0;
}
const bool kDpiAware = BecomeDpiAware();

}  // namespace

int ScreenDpi() {
  (void)kDpiAware;
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi;
}

std::string ProgramPath() {
  const char* path = std::getenv("TESSIVO_EXE");
  return path ? path : "Tessivo.exe";
}

std::string Describe(const Colour& colour) {
  return "(" + std::to_string(colour.red) + "," + std::to_string(colour.green) + "," +
         std::to_string(colour.blue) + ")";
}

RemoteDialog::RemoteDialog(const std::string& program, const std::string& arguments,
                           DWORD timeoutMs) {
  std::string commandLine = "\"" + program + "\"";
  if (!arguments.empty()) commandLine += " " + arguments;
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process_)) {
    throw std::runtime_error("cannot start " + program + ": error " +
                             std::to_string(GetLastError()));
  }
  const DWORD start = GetTickCount();
  Search search{process_.dwProcessId, nullptr};
  while (!search.found && GetTickCount() - start < timeoutMs) {
    Sleep(100);
    EnumWindows(&FindDialog, reinterpret_cast<LPARAM>(&search));
  }
  if (!search.found) throw std::runtime_error("the dialog did not show");
  window_ = search.found;
  Flush();
}

RemoteDialog::~RemoteDialog() {
  // Ended, not only told to end: the next test's program must not meet
  // this one on the port or the screen.
  if (Running()) {
    TerminateProcess(process_.hProcess, 99);
    WaitForSingleObject(process_.hProcess, 10000);
  }
  CloseHandle(process_.hThread);
  CloseHandle(process_.hProcess);
}

bool RemoteDialog::Running() const {
  return WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

void RemoteDialog::Flush() {
  // A sent message is handled after everything posted before it.
  DWORD_PTR ignored;
  SendMessageTimeoutA(window_, WM_NULL, 0, 0, SMTO_BLOCK, 30000, &ignored);
}

std::string RemoteDialog::Text(int id) const {
  char buffer[512] = {};
  SendMessageA(Control(id), WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer));
  return buffer;
}

bool RemoteDialog::Enabled(int id) const {
  return IsWindowEnabled(Control(id)) != 0;
}

void RemoteDialog::Click(int id) {
  SendMessageA(window_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(Control(id)));
}

void RemoteDialog::Type(int id, const std::string& text) {
  for (unsigned char c : text) SendMessageA(Control(id), WM_CHAR, c, 1);
}

void RemoteDialog::SetFocusTo(int id) {
  SendMessageA(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Control(id)), TRUE);
}

void RemoteDialog::PressKey(int id, WORD virtualKey) {
  SetFocusTo(id);
  PostMessageA(Control(id), WM_KEYDOWN, virtualKey, 1);
  PostMessageA(Control(id), WM_KEYUP, virtualKey, 0xC0000001);
  if (Running()) Flush();
}

void RemoteDialog::Close() {
  PostMessageA(window_, WM_SYSCOMMAND, SC_CLOSE, 0);
}

bool RemoteDialog::WaitForText(int id, const std::string& text, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (Text(id) != text) {
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(50);
  }
  return true;
}

// What the screen shows of a control: one BitBlt into a DIB, so that
// scanning it costs no round trip per pixel.
std::vector<Colour> RemoteDialog::Capture(int id, int* width) {
  RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  Flush();
  RECT rect;
  GetWindowRect(Control(id), &rect);
  const int w = rect.right - rect.left;
  const int h = rect.bottom - rect.top;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, w, h, screen, rect.left, rect.top, SRCCOPY);
  GdiFlush();
  std::vector<Colour> pixels;
  pixels.reserve(static_cast<std::size_t>(w) * h);
  const auto* p = static_cast<const unsigned char*>(bits);
  for (int i = 0; i < w * h; ++i) pixels.push_back({p[4 * i + 2], p[4 * i + 1], p[4 * i]});
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  *width = w;
  return pixels;
}

Colour RemoteDialog::WaitForBackground(int id, const Colour& expected) {
  const DWORD start = GetTickCount();
  for (;;) {
    int width = 0;
    const std::vector<Colour> pixels = Capture(id, &width);
    Colour seen{-1, -1, -1};
    if (!pixels.empty()) {
      const int height = static_cast<int>(pixels.size()) / width;
      seen = pixels[static_cast<std::size_t>(height - 4) * width + 4];
    }
    if (seen == expected || GetTickCount() - start > kScreenLagMs) return seen;
    Sleep(50);
  }
}

bool RemoteDialog::ShowsColour(int id, const Colour& colour) {
  const DWORD start = GetTickCount();
  for (;;) {
    int width = 0;
    for (const Colour& c : Capture(id, &width)) {
      if (c == colour) return true;
    }
    if (GetTickCount() - start > kScreenLagMs) return false;
    Sleep(50);
  }
}

std::vector<std::pair<int, int>> RemoteDialog::InkRows(int id) {
  int width = 0;
  const std::vector<Colour> pixels = Capture(id, &width);
  const int height = width ? static_cast<int>(pixels.size()) / width : 0;
  constexpr int kEdge = 3;  // the sunken edge's lines are dark too
  std::vector<std::pair<int, int>> runs;
  bool inRun = false;
  for (int y = kEdge; y < height - kEdge; ++y) {
    bool ink = false;
    for (int x = kEdge; x < width - kEdge && !ink; ++x) {
      const Colour& c = pixels[static_cast<std::size_t>(y) * width + x];
      ink = c.red + c.green + c.blue < 3 * 100;
    }
    if (ink && !inRun) runs.emplace_back(y, y + 1);
    if (ink) runs.back().second = y + 1;
    inRun = ink;
  }
  return runs;
}

std::string RemoteDialog::ModulePath(const std::string& name) const {
  HMODULE modules[512];
  DWORD bytes = 0;
  if (!EnumProcessModules(process_.hProcess, modules, sizeof modules, &bytes)) return "";
  const std::size_t count = std::min<std::size_t>(bytes / sizeof modules[0], std::size(modules));
  for (std::size_t i = 0; i < count; ++i) {
    char path[MAX_PATH] = {};
    if (!GetModuleFileNameExA(process_.hProcess, modules[i], path, MAX_PATH)) continue;
    std::string lower(path);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const auto slash = lower.find_last_of('\\');
    if (lower.substr(slash == std::string::npos ? 0 : slash + 1) == name) return lower;
  }
  return "";
}

int RemoteDialog::WaitForExit(DWORD timeoutMs) {
  if (WaitForSingleObject(process_.hProcess, timeoutMs) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  GetExitCodeProcess(process_.hProcess, &code);
  return static_cast<int>(code);
}

}  // namespace tessivo::win32test
