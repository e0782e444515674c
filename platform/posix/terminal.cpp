#include "platform/posix/terminal.h"

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "text/unicode_1252.h"

namespace tessivo {
namespace {

constexpr int kRestoringSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr int kSignalCount = sizeof kRestoringSignals / sizeof kRestoringSignals[0];

// What a signal handler needs to put the terminal back; set only while the
// echo is off.
volatile sig_atomic_t gEchoOffFd = -1;
termios gSavedTerminal;
struct sigaction gPreviousActions[kSignalCount];

void RestoreTerminalAndResignal(int signal) {
  if (gEchoOffFd >= 0) tcsetattr(gEchoOffFd, TCSANOW, &gSavedTerminal);
  // The previous disposition takes over; the signal, blocked while this
  // handler runs, reaches it as soon as the handler returns.
  for (int i = 0; i < kSignalCount; ++i) {
    if (kRestoringSignals[i] == signal) sigaction(signal, &gPreviousActions[i], nullptr);
  }
  raise(signal);
}

// Echo off on a terminal for the lifetime of the object.
class EchoOff {
 public:
  explicit EchoOff(int fd) {
    termios quiet{};
    if (!isatty(fd) || tcgetattr(fd, &gSavedTerminal) != 0) return;
    struct sigaction restore {};
    restore.sa_handler = RestoreTerminalAndResignal;
    sigemptyset(&restore.sa_mask);
    for (int i = 0; i < kSignalCount; ++i) {
      sigaction(kRestoringSignals[i], &restore, &gPreviousActions[i]);
    }
    quiet = gSavedTerminal;
    quiet.c_lflag &= ~(ECHO | ECHOE | ECHOK);
    quiet.c_lflag |= ECHONL;
    gEchoOffFd = fd;
    if (tcsetattr(fd, TCSANOW, &quiet) != 0) Release();
  }
  ~EchoOff() { Release(); }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;

 private:
  void Release() {
    const int fd = gEchoOffFd;
    if (fd < 0) return;
    tcsetattr(fd, TCSANOW, &gSavedTerminal);
    gEchoOffFd = -1;
    for (int i = 0; i < kSignalCount; ++i) {
      sigaction(kRestoringSignals[i], &gPreviousActions[i], nullptr);
    }
  }
};

}  // namespace

std::optional<std::string> ReadLineWithoutEcho(int fd) {
  const EchoOff quiet(fd);
  std::string line;
  bool anything = false;
  // One byte at a time: what follows the line stays unread for others.
  while (line.size() < kMaxSecretLine) {
    char c = 0;
    const ssize_t r = read(fd, &c, 1);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    anything = true;
    if (c == '\n') break;
    line.push_back(c);
  }
  if (!anything) return std::nullopt;
  return line;
}

void WriteUtf8(int fd, const std::string& text1252) {
  const std::string text = Utf8From1252(text1252);
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t w = write(fd, text.data() + done, text.size() - done);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return;
    done += static_cast<std::size_t>(w);
  }
}

}  // namespace tessivo
