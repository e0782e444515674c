// Stand-in for the dialog path in the unit tests of the application object:
// like Linux without a display, no window system can be opened, unless a
// test asks for another outcome.
#include "app/sim_unlock_app.h"

namespace tessivo {

DialogPathResult& StandInDialogPathResult() {
  static DialogPathResult result = DialogPathResult::NoWindowSystem;
  return result;
}

DialogPathResult RunDialogPath(Platform&, const std::function<void()>&) {
  return StandInDialogPathResult();
}

}  // namespace tessivo
