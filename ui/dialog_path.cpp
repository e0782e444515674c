// The dialog path of the start-up hook: a start that is not in console form
// runs the main dialog modally; the program ends when it closes.
#include <cstdlib>

#include "app/sim_unlock_app.h"
#include "framework/window_system.h"
#include "ui/sim_unlock_dialog.h"

namespace tessivo {

bool RunDialogPath(Platform& platform, const std::function<void()>& cannotContinue) {
  // The window system comes to life only here, so console mode never needs
  // a display. The 3-D look of dialog controls is every platform's own now;
  // there is nothing to switch on.
  const auto windows = OpenHostWindowSystem([&cannotContinue] {
    cannotContinue();
    std::_Exit(kNoDialogExitStatus);
  });
  if (!windows) return false;
  SimUnlockDialog dialog(platform, *windows);
  dialog.DoModal();  // how the run ended changes nothing
  return true;
}

}  // namespace tessivo
