// Puts the virtual modem on a pseudo-terminal and serves it until SIGTERM,
// SIGINT or SIGHUP.
#pragma once

#include "options.h"

namespace tessivo::modemsim {

// The exit code: 0 after a signal, 1 if the device could not be set up.
int Serve(const Options& options);

}  // namespace tessivo::modemsim
