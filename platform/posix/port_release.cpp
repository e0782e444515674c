#include "platform/posix/port_release.h"

#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <mutex>

namespace tessivo {
namespace {

constexpr int kSignals[] = {SIGHUP, SIGINT, SIGTERM};

// A program holds one port at a time; the spare slots only make a second one
// safe. Lock-free atomics, so the handler may read and take them.
std::atomic<int> openPorts[4] = {-1, -1, -1, -1};
static_assert(std::atomic<int>::is_always_lock_free);

// Only async-signal-safe calls: the handler may interrupt anything.
void ReleaseAndEnd(int signal) {
  for (auto& slot : openPorts) {
    const int fd = slot.exchange(-1);
    if (fd < 0) continue;
    tcflush(fd, TCIOFLUSH);  // pending output could hold up close on a stopped line
    ioctl(fd, TIOCNXCL);
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
  for (int signal : kSignals) {
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

bool RegisterOpenPort(int fd) {
  static std::once_flag installed;
  std::call_once(installed, InstallHandlers);
  for (auto& slot : openPorts) {
    int empty = -1;
    if (slot.compare_exchange_strong(empty, fd)) return true;
  }
  return false;
}

void UnregisterOpenPort(int fd) {
  for (auto& slot : openPorts) {
    int expected = fd;
    if (slot.compare_exchange_strong(expected, -1)) return;
  }
}

}  // namespace tessivo
