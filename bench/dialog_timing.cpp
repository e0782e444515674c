// Times the dialog's operations on the real Linux platform against the
// virtual modem, with a window system that draws nothing (so the figures are
// the modem waits alone). Usage: dialog_timing start|test|send [PIN]
// with TESSIVO_PORT_DIR pointing at the ports; prints the milliseconds.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "resources/resource.h"
#include "tests/support/fake_dialog_host.h"
#include "ui/sim_unlock_dialog.h"

namespace {

using Clock = std::chrono::steady_clock;

long MsSince(Clock::time_point start) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: dialog_timing start|test|send [PIN]\n");
    return 2;
  }
  const std::string what = argv[1];
  tessivo::testing::FakeDialogHost host;
  tessivo::SimUnlockDialog dialog(tessivo::HostPlatform(), host);

  auto start = Clock::now();
  host.Open(dialog);  // discovery and the first probe
  long ms = MsSince(start);
  if (what == "test" || what == "send") {
    host.Control(IDC_PORT).text = "COM1";
    host.Control(IDC_PIN).text = argc > 2 ? argv[2] : "1234";
    start = Clock::now();
    host.Click(what == "test" ? IDC_TEST_MODEM : IDC_SEND_PIN);
    ms = MsSince(start);
  }
  std::string status = host.Text(IDC_STATUS);
  for (char& c : status) {
    if (c == '\n') c = ' ';
  }
  std::printf("%ld %s|%s\n", ms, host.Text(IDC_PORT).c_str(), status.c_str());
  return 0;
}
