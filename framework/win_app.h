// The application base of our small framework layer. A program derives one
// application class from it; the platform's entry point constructs that one
// object and calls Run, which calls the start-up hook once. There is no
// message loop of our own: the hook's false answer ends the program.
#pragma once

#include "platform/platform.h"

namespace tessivo {

class CWinApp {
 public:
  explicit CWinApp(Platform& platform) : platform_(platform) {}
  virtual ~CWinApp() = default;

  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  // Start-up hook: true would ask for a message loop. Every Tessivo path
  // answers false; the program then ends.
  virtual bool InitInstance() = 0;

  // Runs the start-up hook and returns the process exit status.
  int Run() {
    InitInstance();
    return exitCode_;
  }

 protected:
  Platform& platform() { return platform_; }
  void SetExitCode(int code) { exitCode_ = code; }

 private:
  Platform& platform_;
  int exitCode_ = 0;
};

}  // namespace tessivo
