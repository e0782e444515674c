// Stand-in for the dialog path in the unit tests of the application object:
// a start that is not in console form simply ends there.
#include "app/sim_unlock_app.h"

namespace tessivo {

void RunDialogPath(Platform&) {}

}  // namespace tessivo
