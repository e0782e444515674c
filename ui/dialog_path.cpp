// The dialog path of the start-up hook: a start that is not in console form
// runs the main dialog modally; the program ends when it closes.
#include "app/sim_unlock_app.h"
#include "framework/window_system.h"
#include "ui/sim_unlock_dialog.h"

namespace tessivo {

void RunDialogPath(Platform& platform) {
  // The window system comes to life only here, so console mode never needs
  // a display. The 3-D look of dialog controls is every platform's own now;
  // there is nothing to switch on. No window system (Linux without a
  // display): nothing to show, and the program simply ends.
  const auto windows = OpenHostWindowSystem();
  if (!windows) return;
  SimUnlockDialog dialog(platform, *windows);
  dialog.DoModal();  // how the run ended changes nothing
}

}  // namespace tessivo
