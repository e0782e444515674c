#include "pty_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "modem.h"
#include "transcript.h"

namespace tessivo::modemsim {

namespace {

volatile sig_atomic_t stopRequested = 0;

void OnStopSignal(int) {
  stopRequested = 1;
}

void Fail(const std::string& what) {
  std::fprintf(stderr, "tessivo-modemsim: %s: %s\n", what.c_str(), std::strerror(errno));
}

void Say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  void reset(int fd) {
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
  }

 private:
  int fd_;
};

class MonotonicClock {
 public:
  Time Now() const {
    return std::chrono::duration_cast<Time>(std::chrono::steady_clock::now() - start_);
  }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// Knows whether anyone but the sim has the serial device open. A real stick
// whose port is closed drops what it sends; without this, the pty would keep
// it, and the next client would read the answers meant for the last one.
// Where the kernel does not report opens, everyone is assumed to be there.
class ClientWatch {
 public:
  // `device`: the slave side, which the sim holds open itself already.
  void Start(const std::string& device) {
    fd_.reset(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (fd_.get() < 0 || inotify_add_watch(fd_.get(), device.c_str(), IN_OPEN | IN_CLOSE) < 0) {
      fd_.reset(-1);
      return;
    }
    // Trust the watch only once it has seen an open and a close of our own.
    int probe = open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (probe >= 0) close(probe);
    Drain();
    if (!(sawOpen_ && clients_ == 0)) fd_.reset(-1);
  }

  int fd() const { return fd_.get(); }
  bool anyone() const { return fd_.get() < 0 || clients_ > 0; }

  // Reads the reports; true if the last client left meanwhile.
  bool Drain() {
    bool lastLeft = false;
    alignas(inotify_event) char buf[4096];
    for (;;) {
      ssize_t n = read(fd_.get(), buf, sizeof buf);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      for (char* p = buf; p < buf + n;) {
        auto* event = reinterpret_cast<inotify_event*>(p);
        if (event->mask & IN_OPEN) {
          ++clients_;
          sawOpen_ = true;
        }
        if ((event->mask & IN_CLOSE) && clients_ > 0 && --clients_ == 0) lastLeft = true;
        if (event->mask & (IN_Q_OVERFLOW | IN_IGNORED)) {
          // Lost count: rather send to no one than withhold from someone.
          fd_.reset(-1);
          return false;
        }
        p += sizeof(inotify_event) + event->len;
      }
    }
    return lastLeft;
  }

 private:
  Fd fd_;
  int clients_ = 0;
  bool sawOpen_ = false;
};

// Points `link` at `target`, replacing an older link atomically. Anything
// at `link` that is not a link is left alone.
bool PlaceLink(const std::string& link, const std::string& target) {
  struct stat st;
  if (lstat(link.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
    std::fprintf(stderr, "tessivo-modemsim: %s exists and is not a symbolic link\n", link.c_str());
    return false;
  }
  std::string temp = link + ".tmp" + std::to_string(getpid());
  unlink(temp.c_str());
  if (symlink(target.c_str(), temp.c_str()) != 0) {
    Fail("cannot create the link " + link);
    return false;
  }
  if (rename(temp.c_str(), link.c_str()) != 0) {
    Fail("cannot create the link " + link);
    unlink(temp.c_str());
    return false;
  }
  return true;
}

// Removes the link unless another sim has taken the path over meanwhile.
void RemoveLink(const std::string& link, const std::string& target) {
  char buf[4096];
  ssize_t n = readlink(link.c_str(), buf, sizeof buf - 1);
  if (n >= 0 && std::string(buf, n) == target) unlink(link.c_str());
}

bool InstallSignalHandlers(sigset_t& waitMask) {
  struct sigaction action = {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
    sigaddset(&stopSignals, sig);
    if (sigaction(sig, &action, nullptr) != 0) return false;
  }
  signal(SIGPIPE, SIG_IGN);
  // The stop signals are held back except while waiting in ppoll, so one
  // arriving between a check of the flag and the wait cannot be missed.
  if (sigprocmask(SIG_BLOCK, &stopSignals, &waitMask) != 0) return false;
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigdelset(&waitMask, sig);
  return true;
}

}  // namespace

int Serve(const Options& options) {
  MonotonicClock clock;
  sigset_t waitMask;
  if (!InstallSignalHandlers(waitMask)) {
    Fail("cannot install signal handlers");
    return 1;
  }

  Fd master(posix_openpt(O_RDWR | O_NOCTTY));
  if (master.get() < 0 || grantpt(master.get()) != 0 || unlockpt(master.get()) != 0) {
    Fail("cannot create a pseudo-terminal");
    return 1;
  }
  fcntl(master.get(), F_SETFD, FD_CLOEXEC);
  char name[256];
  if (ptsname_r(master.get(), name, sizeof name) != 0) {
    Fail("cannot name the pseudo-terminal");
    return 1;
  }
  const std::string device = name;

  // Held open for the whole run and never read: while it is open, clients
  // may come and go without the master seeing a hang-up.
  Fd slave(open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
  termios tio;
  if (slave.get() < 0 || tcgetattr(slave.get(), &tio) != 0) {
    Fail("cannot open " + device);
    return 1;
  }
  // Raw, or the line discipline would echo our own replies back to us and
  // turn CR into LF on the way to the client.
  cfmakeraw(&tio);
  cfsetspeed(&tio, B115200);
  if (tcsetattr(slave.get(), TCSANOW, &tio) != 0) {
    Fail("cannot make " + device + " raw");
    return 1;
  }
  fcntl(master.get(), F_SETFL, fcntl(master.get(), F_GETFL) | O_NONBLOCK);

  ClientWatch clients;
  clients.Start(device);

  Transcript transcript;
  if (!options.transcript.empty() && !transcript.Open(options.transcript)) {
    Fail("cannot open " + options.transcript);
    return 1;
  }

  // The link comes last: once it is there, the device is ready for clients.
  if (!PlaceLink(options.link, device)) return 1;

  Modem modem(options.modem);
  Say("tessivo-modemsim: " + options.link + " -> " + device + ", " + modem.sim().Describe());

  std::string unsent;  // due, but the pty would not take it yet
  int exitCode = 0;
  while (!stopRequested) {
    pollfd fds[2] = {};
    fds[0].fd = master.get();
    fds[0].events = POLLIN | (unsent.empty() ? 0 : POLLOUT);
    fds[1].fd = clients.fd();
    fds[1].events = POLLIN;
    nfds_t count = clients.fd() >= 0 ? 2 : 1;

    timespec timeout{};
    timespec* timeoutPtr = nullptr;
    if (auto wake = modem.NextWakeup()) {
      // ppoll does not return before the timeout, so the due bytes are ready
      // on waking and the loop does not spin.
      long long us = std::max<long long>(0, (*wake - clock.Now()).count());
      timeout.tv_sec = us / 1000000;
      timeout.tv_nsec = (us % 1000000) * 1000;
      timeoutPtr = &timeout;
    }
    if (ppoll(fds, count, timeoutPtr, &waitMask) < 0) {
      if (errno == EINTR) continue;
      Fail("poll");
      exitCode = 1;
      break;
    }

    // Opens and closes first: a client that opened and wrote must be known
    // before its bytes are answered.
    if (count == 2 && (fds[1].revents & POLLIN) && clients.Drain()) {
      modem.DropOutput();
      unsent.clear();
      tcflush(slave.get(), TCIFLUSH);
    }

    if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
      char buf[4096];
      for (;;) {
        ssize_t n = read(master.get(), buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        if (n <= 0) {
          Fail("lost the pseudo-terminal");
          exitCode = 1;
          stopRequested = 1;
          break;
        }
        Time now = clock.Now();
        transcript.In(now, std::string_view(buf, n));
        modem.Receive(std::string_view(buf, n), now);
      }
      // The last words of a client that has already gone: the delayed part
      // of the answer would otherwise greet whoever opens the device next.
      if (!clients.anyone()) modem.DropOutput();
      for (const std::string& notice : modem.TakeNotices()) Say(notice);
    }

    std::string due = modem.TakeOutput(clock.Now());
    if (clients.anyone()) unsent += due;
    while (!unsent.empty()) {
      ssize_t n = write(master.get(), unsent.data(), unsent.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;  // full: wait for POLLOUT
      transcript.Out(clock.Now(), std::string_view(unsent.data(), n));
      unsent.erase(0, n);
    }
  }

  RemoveLink(options.link, device);
  return exitCode;
}

}  // namespace tessivo::modemsim
