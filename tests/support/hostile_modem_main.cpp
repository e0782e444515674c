// One row of the fault matrix as a program of its own, for harnesses that
// start a modem by command line (the Wine console cases start the virtual
// modem that way):
//   tessivo-hostile-modem --link PATH --transcript FILE --row NAME
// serves the row's hostile modem behind PATH until SIGTERM or SIGINT, and
// logs the bytes it received as the virtual modem's transcript does.
//   tessivo-hostile-modem --cases
// prints the reply rows as lines of the Wine console cases, with the row's
// exit status, the command the device must receive and a time bound that
// allows for Wine's start.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "tests/integration/fault_matrix.h"
#include "tests/support/hostile_modem.h"
#include "transcript.h"

namespace {

volatile std::sig_atomic_t stopping = 0;

void Stop(int) {
  stopping = 1;
}

// Starting Wine and its server takes up to a few seconds on a busy machine.
constexpr long kWineStartMs = 4000;

int PrintCases() {
  using tessivo::testing::FaultRows;
  for (const auto& row : FaultRows()) {
    if (!row.dialogText || row.port != tessivo::testing::PortKind::Modem) continue;
    const std::string pin = row.pin;  // digits or capitals: sent as they are
    std::printf("%s|com1|COM1 %s|--row %s|%d|AT+CPIN=%s\\r|%ld\n", row.name, pin.c_str(), row.name,
                row.status, pin.c_str(), static_cast<long>(row.bound) + kWineStartMs);
  }
  return 0;
}

int Usage() {
  std::fprintf(stderr,
               "usage: tessivo-hostile-modem --link PATH --transcript FILE --row NAME\n"
               "       tessivo-hostile-modem --cases\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string link, transcriptPath, rowName;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--cases") return PrintCases();
    if (i + 1 >= argc) return Usage();
    if (option == "--link") {
      link = argv[++i];
    } else if (option == "--transcript") {
      transcriptPath = argv[++i];
    } else if (option == "--row") {
      rowName = argv[++i];
    } else {
      return Usage();
    }
  }
  if (link.empty() || rowName.empty()) return Usage();
  const tessivo::testing::FaultRow* row = nullptr;
  for (const auto& candidate : tessivo::testing::FaultRows()) {
    if (rowName == candidate.name && candidate.port == tessivo::testing::PortKind::Modem) {
      row = &candidate;
    }
  }
  if (!row) {
    std::fprintf(stderr, "tessivo-hostile-modem: no modem row '%s'\n", rowName.c_str());
    return 2;
  }
  tessivo::modemsim::Transcript transcript;
  if (!transcriptPath.empty() && !transcript.Open(transcriptPath)) {
    std::fprintf(stderr, "tessivo-hostile-modem: cannot write %s\n", transcriptPath.c_str());
    return 2;
  }
  std::signal(SIGTERM, Stop);
  std::signal(SIGINT, Stop);

  tessivo::testing::HostileModem modem(link, row->modem);
  if (!modem.running()) {
    std::fprintf(stderr, "tessivo-hostile-modem: no pseudo-terminal at %s\n", link.c_str());
    return 1;
  }
  const auto start = std::chrono::steady_clock::now();
  std::size_t logged = 0;
  while (!stopping) {
    const std::string in = modem.BytesIn();
    if (in.size() > logged) {
      const auto at = std::chrono::duration_cast<tessivo::modemsim::Time>(
          std::chrono::steady_clock::now() - start);
      transcript.In(at, std::string_view(in).substr(logged));
      logged = in.size();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return 0;
}
