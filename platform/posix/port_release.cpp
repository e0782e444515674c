#include "platform/posix/port_release.h"

#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <mutex>

namespace tessivo {

// SIGQUIT and SIGXCPU/SIGXFSZ would dump core by default; they still do
// (the core limit aside), after the port is released.
const int kPortReleasingSignals[] = {SIGHUP,  SIGINT,  SIGTERM, SIGQUIT, SIGUSR1,   SIGUSR2,
                                     SIGALRM, SIGPIPE, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF};
const int kPortReleasingSignalCount =
    sizeof kPortReleasingSignals / sizeof kPortReleasingSignals[0];

namespace {

// fd values of a slot besides a descriptor: free, or taken and being filled
// (the handler leaves such a slot alone; its port is not ours to release yet).
constexpr int kFree = -1;
constexpr int kFilling = -2;

// A program holds one port at a time; the spare slots only make a second one
// safe. Lock-free atomics, so the handler may read and take them; the rest of
// a slot is written before its descriptor is published.
struct Slot {
  std::atomic<int> fd{kFree};
  termios saved{};
  bool restoreSettings = false;
  bool clearExclusive = false;
};
Slot slots[4];
static_assert(std::atomic<int>::is_always_lock_free);

// Only async-signal-safe calls: the handler may interrupt anything.
void ReleaseAndEnd(int signal) {
  for (auto& slot : slots) {
    int fd = slot.fd.load();
    if (fd < 0 || !slot.fd.compare_exchange_strong(fd, kFree)) continue;
    tcflush(fd, TCIOFLUSH);  // pending output could hold up close on a stopped line
    if (slot.restoreSettings) tcsetattr(fd, TCSANOW, &slot.saved);
    if (slot.clearExclusive) ioctl(fd, TIOCNXCL);
    flock(fd, LOCK_UN);
    close(fd);
  }
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  sigaction(signal, &fallback, nullptr);
  // Pending until the handler returns and the mask is lifted; then the
  // default action ends the process, with the status a parent expects.
  raise(signal);
}

void InstallHandlers() {
  for (int i = 0; i < kPortReleasingSignalCount; ++i) {
    const int signal = kPortReleasingSignals[i];
    struct sigaction current {};
    if (sigaction(signal, nullptr, &current) != 0) continue;
    const bool isDefault = !(current.sa_flags & SA_SIGINFO) && current.sa_handler == SIG_DFL;
    if (!isDefault) continue;
    struct sigaction release {};
    release.sa_handler = ReleaseAndEnd;
    sigfillset(&release.sa_mask);  // a second signal must wait for the first release
    sigaction(signal, &release, nullptr);
  }
}

}  // namespace

bool RegisterOpenPort(int fd, const termios* saved, bool clearExclusive) {
  static std::once_flag installed;
  std::call_once(installed, InstallHandlers);
  for (auto& slot : slots) {
    int empty = kFree;
    if (!slot.fd.compare_exchange_strong(empty, kFilling)) continue;
    slot.restoreSettings = saved != nullptr;
    if (saved != nullptr) slot.saved = *saved;
    slot.clearExclusive = clearExclusive;
    slot.fd.store(fd);
    return true;
  }
  return false;
}

void UnregisterOpenPort(int fd) {
  for (auto& slot : slots) {
    int expected = fd;
    if (slot.fd.compare_exchange_strong(expected, kFree)) return;
  }
}

}  // namespace tessivo
