// The dialog path of the start-up hook: a start that is not in console form
// runs the main dialog modally; the program ends when it closes.
#include <cstdlib>

#include "app/sim_unlock_app.h"
#include "framework/window_system.h"
#include "ui/sim_unlock_dialog.h"

namespace tessivo {

DialogPathResult RunDialogPath(Platform& platform, const std::function<void()>& cannotContinue) {
  // The window system comes to life only here, so console mode never needs
  // a display.
  const auto windows = OpenHostWindowSystem([&cannotContinue] {
    cannotContinue();
    std::_Exit(kNoDialogExitStatus);
  });
  if (!windows) return DialogPathResult::NoWindowSystem;
  windows->Enable3dControls();
  SimUnlockDialog dialog(platform, *windows);
  dialog.DoModal();  // how the run ended changes nothing
  return DialogPathResult::Shown;
}

}  // namespace tessivo
