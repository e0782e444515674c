// Entry point of the Linux program `tessivo`. Everything it decides lives in
// the application object (app/); this only hands it the arguments.
#include "app/sim_unlock_app.h"
#include "modemmanager/modem_manager_service.h"
#include "platform/posix/posix_platform.h"

int main(int argc, char** argv) {
  tessivo::KeepProcessMemoryPrivate();  // before any argument or input is read
  auto& platform = static_cast<tessivo::PosixPlatform&>(tessivo::HostPlatform());
  platform.SetArguments(argc, argv);
  platform.SetManagingService(&tessivo::TheModemManagerService());
  tessivo::SimUnlockApp app(platform);
  return app.Run();
}
