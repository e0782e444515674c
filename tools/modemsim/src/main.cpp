// tessivo-modemsim: a virtual UMTS stick on a pseudo-terminal, for trying
// out and testing Tessivo without hardware.
#include <cstdio>
#include <string>
#include <vector>

#include "options.h"
#include "pty_server.h"

int main(int argc, char** argv) {
  using namespace tessivo::modemsim;
  ParsedOptions parsed = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (!parsed.error.empty()) {
    std::fprintf(stderr, "tessivo-modemsim: %s\nTry 'tessivo-modemsim --help'.\n",
                 parsed.error.c_str());
    return 2;
  }
  if (parsed.options.help) {
    std::fputs(UsageText(), stdout);
    return 0;
  }
  return Serve(parsed.options);
}
