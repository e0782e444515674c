// The application object: decides between console mode and the dialog.
#pragma once

#include <functional>

#include "app/command_line.h"
#include "framework/win_app.h"

namespace tessivo {

// The exit status of a start that is not in console form and could show no
// dialog (Linux without a reachable display). Console outcomes have theirs
// in console_mode.h.
constexpr int kNoDialogExitStatus = 2;
// A Linux command line that is none of the known forms: the usage text and
// a line naming the fault on stderr, before any port is opened.
constexpr int kUsageErrorExitStatus = 2;

class SimUnlockApp : public CWinApp {
 public:
  using CWinApp::CWinApp;

  // Console form ("... COM1 1234"): submit the PIN silently; the exit status
  // tells the outcome (ExitStatusFor). --help and --version (Linux) print and
  // end with 0; a refused Linux command line ends with 2 after the usage
  // text. Any other command line runs the dialog, or where no window system
  // can be opened prints the usage text and ends with 2. Every argument after
  // the port is hidden from the process list first. Always answers false: no
  // message loop.
  bool InitInstance() override;

 private:
  void RunConsole(const StartRequest& request);
  // --status, --puk, --change-pin; wipes the request's secrets.
  void RunSimForm(StartRequest& request);
  // Standard input refused for a secret: the line, the signal and 6 given.
  bool RefusedSecretInput();
  void RunDialogOrExplain();
};

// How the dialog path ended.
enum class DialogPathResult {
  Shown,           // the dialog ran (and was closed)
  NoWindowSystem,  // no window system could be opened, nothing was shown
  NotInstalled,    // the dialog lives in a program of its own that is missing
};

// The dialog path, provided by the user-interface room (ui/dialog_path.cpp),
// or on Linux by the console program, which hands the start over to the
// dialog program (main/linux_dialog_handover.cpp); the unit tests link a
// stand-in that finds no window system. `cannotContinue` runs instead of a
// return when the window system fails in a way the process cannot survive;
// the process ends right after it with kNoDialogExitStatus.
DialogPathResult RunDialogPath(Platform& platform, const std::function<void()>& cannotContinue);

}  // namespace tessivo
