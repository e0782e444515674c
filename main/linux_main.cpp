// Entry point of the Linux program `tessivo`. Everything it decides lives in
// the application object (app/); this only hands it the arguments.
#include "app/sim_unlock_app.h"
#include "platform/posix/posix_platform.h"

int main(int argc, char** argv) {
  tessivo::KeepProcessMemoryPrivate();  // before any argument or input is read
  auto& platform = static_cast<tessivo::PosixPlatform&>(tessivo::HostPlatform());
  platform.SetArguments(argc, argv);
  tessivo::SimUnlockApp app(platform);
  return app.Run();
}
