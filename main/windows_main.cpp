// Entry point of the Windows program `Tessivo.exe`. A GUI-subsystem program,
// so console mode never flashes a console window; the command line is read
// through the platform (GetCommandLineA), not from WinMain's arguments.
#include <windows.h>

#include "app/sim_unlock_app.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  tessivo::SimUnlockApp app(tessivo::HostPlatform());
  return app.Run();
}
