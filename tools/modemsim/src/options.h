// The command line of tessivo-modemsim.
#pragma once

#include <string>
#include <vector>

#include "modem.h"

namespace tessivo::modemsim {

struct Options {
  std::string link;
  std::string transcript;  // empty: none
  std::string record;      // empty: none
  ModemSettings modem;
  bool help = false;
};

struct ParsedOptions {
  Options options;
  std::string error;  // empty when the command line was fine
};

// `args` without the program name. Both "--name value" and "--name=value".
ParsedOptions ParseOptions(const std::vector<std::string>& args);

const char* UsageText();

}  // namespace tessivo::modemsim
