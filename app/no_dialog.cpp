// Stand-in for the dialog path in the unit tests of the application object:
// like Linux without a display, no window system can be opened.
#include "app/sim_unlock_app.h"

namespace tessivo {

DialogPathResult RunDialogPath(Platform&, const std::function<void()>&) {
  return DialogPathResult::NoWindowSystem;
}

}  // namespace tessivo
