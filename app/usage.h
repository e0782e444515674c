// What the program says on a terminal (Linux only; Windows has none to say it
// on): the usage text, for --help and for a start that can show no dialog,
// and the version line. Windows-1252 text, like every text of the program.
#pragma once

#include <string>
#include <vector>

#include "app/command_line.h"

namespace tessivo {

// At most ten lines, German: the console form with an example, the device
// path, the PIN from standard input and why it is the safer way, the common
// cause of status 4 and its cure, and where the exit statuses are explained.
const std::string& UsageText();

// One line after the usage text when the dialog program is not installed:
// the package that brings it.
const std::string& DialogMissingText();

// The line after the usage text for a refused command line: what is wrong,
// naming the argument. An option, the port and the seconds of --wait are
// quoted (bytes outside printable ASCII as "?"); any other argument after
// the port is named by its place only, since it may be a PIN.
std::string UsageProblemLine(const StartRequest& request,
                             const std::vector<std::string>& arguments);

// "tessivo 1.0.0\n", the version from the build.
std::string VersionText();

}  // namespace tessivo
