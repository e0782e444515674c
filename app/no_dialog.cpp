// Stand-in for builds without the dialog: a start that is not in console form
// simply ends.
#include "app/sim_unlock_app.h"

namespace tessivo {

void RunDialogPath(Platform&) {}

}  // namespace tessivo
