#include "platform/posix/terminal.h"

#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>

#include "text/unicode_1252.h"
#include "text/wipe.h"

namespace tessivo {
namespace {

// Signals that end the process by default: the terminal is put back first.
// Signals that stop it: the terminal is put back for the shell, and the echo
// switched off again once the process goes on. SIGCONT: the echo switched
// off again after a stop that could not be caught (SIGSTOP), in case someone
// set the terminal meanwhile.
constexpr int kHandledSignals[] = {SIGINT,  SIGTERM, SIGHUP,  SIGQUIT,
                                   SIGTSTP, SIGTTIN, SIGTTOU, SIGCONT};
constexpr int kSignalCount = sizeof kHandledSignals / sizeof kHandledSignals[0];

// What a signal handler needs to put the terminal back; set only while the
// echo is off. The handlers run with every signal blocked, so they never
// interrupt one another.
volatile sig_atomic_t gEchoOffFd = -1;
termios gSavedTerminal;
struct sigaction gPreviousActions[kSignalCount];
bool gHandled[kSignalCount];

int IndexOf(int signal) {
  for (int i = 0; i < kSignalCount; ++i) {
    if (kHandledSignals[i] == signal) return i;
  }
  return 0;
}

// Async-signal-safe, like everything the handlers call.
void SwitchEchoOff(int fd) {
  termios quiet = gSavedTerminal;
  quiet.c_lflag &= ~(ECHO | ECHOE | ECHOK);
  quiet.c_lflag |= ECHONL;
  tcsetattr(fd, TCSANOW, &quiet);
}

// After a stop: whoever had the terminal meanwhile (the shell) may have set
// it its own way. Settings with the echo on become the ones to put back at
// the end; ours, with the echo off, are left as they are.
void EchoOffAgain(int fd) {
  termios now{};
  if (tcgetattr(fd, &now) != 0 || !(now.c_lflag & ECHO)) return;
  gSavedTerminal = now;
  SwitchEchoOff(fd);
}

void OnEndingSignal(int signal) {
  if (gEchoOffFd >= 0) tcsetattr(gEchoOffFd, TCSANOW, &gSavedTerminal);
  // The previous disposition takes over; the signal, blocked while this
  // handler runs, reaches it as soon as the handler returns.
  sigaction(signal, &gPreviousActions[IndexOf(signal)], nullptr);
  raise(signal);
}

void OnStoppingSignal(int signal) {
  const int savedErrno = errno;
  const int fd = gEchoOffFd;
  if (fd >= 0) tcsetattr(fd, TCSANOW, &gSavedTerminal);
  // Stop the way the signal would have (its previous action is the
  // default), then, once continued, take it over again.
  struct sigaction ours {};
  sigaction(signal, &gPreviousActions[IndexOf(signal)], &ours);
  raise(signal);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal);
  sigprocmask(SIG_UNBLOCK, &only, nullptr);  // stopped here until SIGCONT
  sigprocmask(SIG_BLOCK, &only, nullptr);
  sigaction(signal, &ours, nullptr);
  if (fd >= 0) EchoOffAgain(fd);
  errno = savedErrno;
}

void OnContinue(int) {
  const int savedErrno = errno;
  if (gEchoOffFd >= 0) EchoOffAgain(gEchoOffFd);
  errno = savedErrno;
}

void (*HandlerFor(int signal))(int) {
  switch (signal) {
    case SIGTSTP:
    case SIGTTIN:
    case SIGTTOU:
      return OnStoppingSignal;
    case SIGCONT:
      return OnContinue;
    default:
      return OnEndingSignal;
  }
}

// Echo off on a terminal for the lifetime of the object. Only signals whose
// action is the default are taken over: one the caller ignores (trap '' INT)
// must neither end the read nor switch the echo on while it goes on.
class EchoOff {
 public:
  explicit EchoOff(int fd) {
    if (!isatty(fd) || tcgetattr(fd, &gSavedTerminal) != 0) return;
    for (int i = 0; i < kSignalCount; ++i) {
      struct sigaction current {};
      gHandled[i] = sigaction(kHandledSignals[i], nullptr, &current) == 0 &&
                    !(current.sa_flags & SA_SIGINFO) && current.sa_handler == SIG_DFL;
      if (!gHandled[i]) continue;
      gPreviousActions[i] = current;
      struct sigaction handler {};
      handler.sa_handler = HandlerFor(kHandledSignals[i]);
      sigfillset(&handler.sa_mask);
      sigaction(kHandledSignals[i], &handler, nullptr);
    }
    gEchoOffFd = fd;
    SwitchEchoOff(fd);
  }
  ~EchoOff() { Release(); }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;

 private:
  void Release() {
    const int fd = gEchoOffFd;
    if (fd < 0) return;
    // No handler may change the settings to put back while they are put back.
    sigset_t all;
    sigset_t before;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, &before);
    tcsetattr(fd, TCSANOW, &gSavedTerminal);
    gEchoOffFd = -1;
    for (int i = 0; i < kSignalCount; ++i) {
      if (gHandled[i]) sigaction(kHandledSignals[i], &gPreviousActions[i], nullptr);
    }
    sigprocmask(SIG_SETMASK, &before, nullptr);
  }
};

}  // namespace

std::optional<std::string> ReadLineWithoutEcho(int fd, unsigned timeoutMs) {
  const EchoOff quiet(fd);
  std::string line;
  bool anything = false;
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  // One byte at a time: what follows the line stays unread for others.
  while (line.size() < kMaxSecretLine) {
    if (timeoutMs != 0) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            until - std::chrono::steady_clock::now())
                            .count();
      pollfd input{fd, POLLIN, 0};
      const int ready = left > 0 ? poll(&input, 1, static_cast<int>(left)) : 0;
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0) {
        WipeSecret(line);
        return std::nullopt;
      }
    }
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

std::string UnsafeSecretFileLine(int fd) {
  struct stat file {};
  if (fstat(fd, &file) != 0 || !S_ISREG(file.st_mode)) return {};
  const unsigned mode = file.st_mode & 07777;
  if ((mode & (S_IRGRP | S_IROTH)) == 0) return {};
  std::string name = "/proc/self/fd/" + std::to_string(fd);
  std::string path(4096, '\0');
  const ssize_t length = readlink(name.c_str(), path.data(), path.size());
  path = length > 0 && static_cast<std::size_t>(length) < path.size()
             ? path.substr(0, static_cast<std::size_t>(length))
             : "DATEI";
  char octal[8];
  std::snprintf(octal, sizeof octal, "%04o", mode);
  // Windows-1252: \xFC is "ü".
  return "tessivo: " + path + " ist f\xFCr andere lesbar (Modus " + octal +
         "), nicht gelesen; erst: chmod 600 " + path;
}

void WriteUtf8(int fd, const std::string& text1252) {
  const std::string text = Utf8From1252(text1252);
  // A reader that went away (tessivo --help | head -1) is no fault of the
  // run: the write fails quietly instead of SIGPIPE ending the process.
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  struct sigaction before {};
  const bool ignoring = sigaction(SIGPIPE, &ignore, &before) == 0;
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t w = write(fd, text.data() + done, text.size() - done);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) break;
    done += static_cast<std::size_t>(w);
  }
  if (ignoring) sigaction(SIGPIPE, &before, nullptr);
}

}  // namespace tessivo
