// Entry point of the Linux program.
#include "app/sim_unlock_app.h"
#include "platform/posix/posix_platform.h"

int main(int argc, char** argv) {
  auto& platform = static_cast<tessivo::PosixPlatform&>(tessivo::HostPlatform());
  platform.SetArguments(argc, argv);
  tessivo::SimUnlockApp app(platform);
  return app.Run();
}
