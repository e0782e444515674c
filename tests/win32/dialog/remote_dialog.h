// Drives Tessivo.exe's dialog from another Win32 process, as a user and the
// window manager would: start the program, find its dialog by caption, read
// the controls, click through WM_COMMAND, type and press keys through the
// dialog's message queue, look at the screen, and end it.
//
// For the Win32 tests under Wine (run_dialog_tests.sh), including the end-
// to-end tests of the SIM operations against the virtual modem.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace tessivo::win32test {

struct Colour {
  int red, green, blue;
  bool operator==(const Colour& o) const {
    return red == o.red && green == o.green && blue == o.blue;
  }
};
std::string Describe(const Colour& colour);

// The status area's backgrounds: grey for news, orange-red for trouble.
inline const Colour kGrey{200, 200, 200};
inline const Colour kOrangeRed{200, 90, 50};

// Tessivo.exe as run_dialog_tests.sh hands it over (TESSIVO_EXE).
std::string ProgramPath();

// Dots per inch of the screen. The driver declares itself DPI-aware, so
// that it sees the screen and the program's window in real pixels.
int ScreenDpi();

class RemoteDialog {
 public:
  // Starts `program` (a Windows path) with `arguments` and waits until its
  // dialog shows (initialisation, with discovery and probe, is over).
  // Throws std::runtime_error when it does not come within timeoutMs.
  RemoteDialog(const std::string& program, const std::string& arguments = "",
               DWORD timeoutMs = 60000);
  ~RemoteDialog();  // kills the program if it still runs, and waits for its end
  RemoteDialog(const RemoteDialog&) = delete;
  RemoteDialog& operator=(const RemoteDialog&) = delete;

  HWND window() const { return window_; }
  HWND Control(int id) const { return GetDlgItem(window_, id); }

  std::string Text(int id) const;
  bool Enabled(int id) const;

  // A click as the button's notification; returns when the handler has
  // run to its end.
  void Click(int id);
  // Typing into a control, one WM_CHAR per byte, as the keyboard would.
  void Type(int id, const std::string& text);
  // A key pressed while `id` has the focus, handled by the dialog's own
  // message loop (Esc, Enter, Tab); returns when the loop took it.
  void PressKey(int id, WORD virtualKey);
  void SetFocusTo(int id);
  // The close box.
  void Close();

  // Waits until the control's text equals `text`; false after timeoutMs.
  bool WaitForText(int id, const std::string& text, DWORD timeoutMs = 10000);

  // The screen lags behind the dialog: under Wine the program paints into
  // a buffer that goes to the X server only when its thread next waits for
  // messages, and the server serves the program's connection and ours in
  // its own order. Right after a message the screen may still show what
  // was there before it, for longer on a busy machine. So every look that
  // has an expectation waits up to kScreenLagMs for it.
  static constexpr DWORD kScreenLagMs = 5000;

  // The colour on the screen inside control `id`, near its lower left
  // corner (clear of centred text and of the sunken edge): once it is
  // `expected`, else the last one seen.
  Colour WaitForBackground(int id, const Colour& expected);
  // Whether any pixel of control `id` on the screen has `colour` (waits
  // for it).
  bool ShowsColour(int id, const Colour& colour);
  // The rows of control `id` on the screen (inside its edge) where dark
  // text shows, as runs: the first and one past the last row of each line
  // of ink, from the top. One look, no waiting.
  std::vector<std::pair<int, int>> InkRows(int id);

  // The full path of the program's loaded module `name` ("comctl32.dll"),
  // in lower case; "" when it has none of that name.
  std::string ModulePath(const std::string& name) const;

  // Waits for the program to end; its exit code, or -1 on time-out.
  int WaitForExit(DWORD timeoutMs = 10000);
  bool Running() const;

 private:
  void Flush();  // lets the dialog's thread finish what it was sent
  std::vector<Colour> Capture(int id, int* width);

  PROCESS_INFORMATION process_{};
  HWND window_ = nullptr;
};

}  // namespace tessivo::win32test
