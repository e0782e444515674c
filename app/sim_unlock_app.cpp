#include "app/sim_unlock_app.h"

#include "app/command_line.h"
#include "app/console_mode.h"

namespace tessivo {

bool SimUnlockApp::InitInstance() {
  const auto console = ParseConsoleCommandLine(platform().CommandLine());
  if (console) {
    const bool accepted = RunConsoleMode(platform(), console->port, console->pin);
    SetExitCode(accepted ? 0 : 1);
  } else {
    RunDialogPath(platform());
  }
  return false;
}

}  // namespace tessivo
