#include "pty_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
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

// Knows whether a client has the serial device open. A real stick whose
// port is closed drops what it sends, and each open of its port starts
// clean; a pty keeps what was written to it, and the half line a client
// typed, for whoever opens it next.
//
// The kernel tells the master when the last holder of the slave side closes
// it (a hang-up), so while clients may be there the sim holds no slave
// descriptor of its own. Once they are gone it opens one: that ends the
// hang-up, which would otherwise wake every poll, and lets it flush what no
// one read. A new client is seen by its open (inotify; the events only say
// that something happened, they are not counted) or by the bytes it sends.
class Clients {
 public:
  explicit Clients(std::string device) : device_(std::move(device)) {}

  // Opens the slave side and makes it raw. False if that fails.
  bool Start() {
    int fd = open(device_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios tio;
    if (fd < 0 || tcgetattr(fd, &tio) != 0) {
      if (fd >= 0) close(fd);
      return false;
    }
    // Raw, or the line discipline would echo our own replies back to us and
    // turn CR into LF on the way to the client. A client may change it.
    cfmakeraw(&tio);
    cfsetspeed(&tio, B115200);
    if (tcsetattr(fd, TCSANOW, &tio) != 0) {
      close(fd);
      return false;
    }
    slave_.reset(fd);
    watch_.reset(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (watch_.get() >= 0 && inotify_add_watch(watch_.get(), device_.c_str(), IN_OPEN) < 0) {
      watch_.reset(-1);
    }
    Drain();
    return true;
  }

  // True while someone may be listening: what is due goes out.
  bool served() const { return state_ == State::kServed; }
  // Whether the master belongs in the poll: not while it would only report
  // the hang-up of a slave side no one holds.
  bool pollMaster() const { return state_ != State::kDetached; }
  int watchFd() const { return watch_.get(); }
  // A bound for the poll: a detached sim tries now and then to hold the
  // slave again (the descriptor may have been refused while a client held
  // the port exclusively).
  bool retrying() const { return state_ == State::kDetached; }

  // The inotify descriptor is readable.
  void OnWatch() {
    Drain();
    if (state_ != State::kServed) Serve();
  }

  // Bytes came from a client: it is there, whether or not its open was seen.
  void OnData() {
    if (state_ != State::kServed) Serve();
  }

  // The master reported a hang-up or read as ended while serving: every
  // client is gone. True if the sim took the device back (and flushed it).
  bool OnHangUp() { return TakeBack(); }

  // Called while detached.
  bool Retry() { return TakeBack(); }

 private:
  enum class State {
    kIdle,      // no client; the sim holds the slave
    kServed,    // clients may be there; the sim holds nothing
    kDetached,  // no client, and the slave could not be opened again
  };

  void Serve() {
    slave_.reset(-1);
    state_ = State::kServed;
  }

  bool TakeBack() {
    int fd = open(device_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    // Our own open shows up in the watch too.
    Drain();
    if (fd < 0) {
      state_ = State::kDetached;
      return false;
    }
    slave_.reset(fd);
    // A real port loses exclusive mode with its last close; a pty keeps it
    // for as long as its master lives, and would look held by the client
    // that left (ModemManager sets it on every port it probes).
    ioctl(fd, TIOCNXCL);
    // What the last client did not read must not greet the next one.
    tcflush(fd, TCIFLUSH);
    state_ = State::kIdle;
    return true;
  }

  void Drain() {
    if (watch_.get() < 0) return;
    alignas(inotify_event) char buf[4096];
    for (;;) {
      ssize_t n = read(watch_.get(), buf, sizeof buf);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      for (char* p = buf; p < buf + n;) {
        auto* event = reinterpret_cast<inotify_event*>(p);
        // The device went away; openings can no longer be seen, only the
        // bytes of a client.
        if (event->mask & IN_IGNORED) watch_.reset(-1);
        p += sizeof(inotify_event) + event->len;
      }
      if (watch_.get() < 0) break;
    }
  }

  std::string device_;
  Fd slave_;
  Fd watch_;
  State state_ = State::kIdle;
};

// A client that leaves its terminal's echo on would send every byte of our
// replies back to us, and we would answer our own words without end. No
// stick could stop that; the sim can, by switching that echo off before it
// writes (the terminal settings of a pty are shared by both sides).
void KeepClientEchoOff(int master) {
  termios tio;
  if (tcgetattr(master, &tio) != 0 || !(tio.c_lflag & (ECHO | ECHONL))) return;
  tio.c_lflag &= ~(ECHO | ECHONL);
  tcsetattr(master, TCSANOW, &tio);
}

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
  fcntl(master.get(), F_SETFL, fcntl(master.get(), F_GETFL) | O_NONBLOCK);

  Clients clients(device);
  if (!clients.Start()) {
    Fail("cannot open " + device);
    return 1;
  }

  Transcript transcript;
  if (!options.transcript.empty() && !transcript.Open(options.transcript)) {
    Fail("cannot open " + options.transcript);
    return 1;
  }

  // The passwords themselves never go in: a kind and the card's state.
  Transcript record;
  if (!options.record.empty() && !record.Open(options.record)) {
    Fail("cannot open " + options.record);
    return 1;
  }

  // The link comes last: once it is there, the device is ready for clients.
  if (!PlaceLink(options.link, device)) return 1;

  Modem modem(options.modem);
  Say("tessivo-modemsim: " + options.link + " -> " + device + ", " + modem.sim().Describe());

  std::string unsent;  // due, but the pty would not take it yet
  auto allGone = [&] {
    modem.ClientsGone();
    unsent.clear();
  };
  int exitCode = 0;
  while (!stopRequested) {
    pollfd fds[2] = {};
    nfds_t count = 0;
    int masterAt = -1, watchAt = -1;
    if (clients.pollMaster()) {
      masterAt = count;
      fds[count].fd = master.get();
      fds[count++].events = POLLIN | (unsent.empty() ? 0 : POLLOUT);
    }
    if (clients.watchFd() >= 0) {
      watchAt = count;
      fds[count].fd = clients.watchFd();
      fds[count++].events = POLLIN;
    }

    timespec timeout{};
    timespec* timeoutPtr = nullptr;
    std::optional<long long> waitUs;
    if (auto wake = modem.NextWakeup()) {
      // ppoll does not return before the timeout, so the due bytes are ready
      // on waking and the loop does not spin.
      waitUs = std::max<long long>(0, (*wake - clock.Now()).count());
    }
    if (clients.retrying()) waitUs = std::min<long long>(waitUs.value_or(1000000), 1000000);
    if (waitUs) {
      timeout.tv_sec = *waitUs / 1000000;
      timeout.tv_nsec = (*waitUs % 1000000) * 1000;
      timeoutPtr = &timeout;
    }
    if (ppoll(fds, count, timeoutPtr, &waitMask) < 0) {
      if (errno == EINTR) continue;
      Fail("poll");
      exitCode = 1;
      break;
    }
    if (clients.retrying() && clients.Retry()) allGone();

    // Opens first: a client that opened and wrote must be known before its
    // bytes are answered.
    if (watchAt >= 0 && (fds[watchAt].revents & POLLIN)) clients.OnWatch();

    if (masterAt >= 0 && (fds[masterAt].revents & (POLLIN | POLLHUP | POLLERR))) {
      bool hungUp = false;
      char buf[4096];
      for (;;) {
        ssize_t n = read(master.get(), buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        if (n <= 0) {
          hungUp = true;
          break;
        }
        clients.OnData();
        Time now = clock.Now();
        transcript.In(now, std::string_view(buf, n));
        modem.Receive(std::string_view(buf, n), now);
        // On disk before the client can hear the answer.
        for (const std::string& line : modem.TakeRecords()) record.Line(line);
      }
      for (const std::string& notice : modem.TakeNotices()) Say(notice);
      if (hungUp) {
        if (!clients.served()) {
          // The sim holds the slave itself: the pty as a whole is gone.
          Fail("lost the pseudo-terminal");
          exitCode = 1;
          break;
        }
        // The last client closed: its late answers, and what it wrote as
        // it left, go nowhere.
        clients.OnHangUp();
        allGone();
      }
    }

    std::string due = modem.TakeOutput(clock.Now());
    if (clients.served()) unsent += due;
    if (!unsent.empty()) KeepClientEchoOff(master.get());
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
