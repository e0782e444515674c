// The AT clients people already have, against the virtual modem.
#include <gtest/gtest.h>

#include "sim_process.h"

namespace tessivo::modemsim::testing {
namespace {}  // namespace
}  // namespace tessivo::modemsim::testing
