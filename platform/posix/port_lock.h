// One run per port on Linux: an advisory lock (flock) on a file in
// /run/lock named after the device's kernel name, so /dev/ttyUSB2, its
// by-id link and COM3 meet. The file is removed by the run that holds it
// when it lets go, so nothing stays behind.
#pragma once

#include <memory>
#include <string>

#include "platform/platform.h"

namespace tessivo {

// "ttyUSB2" for a port that leads to /dev/ttyUSB2 (through the port table
// or a link); for a port with no device yet, the name as given with every
// '/' made '_'.
std::string PosixPortLockKey(const std::string& port);

// The lock in `directory` (TESSIVO_LOCK_DIR or /run/lock when empty),
// waiting up to waitMs. A directory that cannot hold the file gives a lock
// that holds nothing.
std::unique_ptr<PortLock> PosixLockPort(const std::string& key, unsigned waitMs,
                                        const std::string& directory = {});

}  // namespace tessivo
