#include "platform/posix/posix_serial_device.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "platform/posix/deadline.h"
#include "platform/posix/port_names.h"
#include "platform/posix/port_release.h"

namespace tessivo {
namespace {

using std::chrono::milliseconds;

// Waits out what is left of the deadline. Used when the device has hung up
// or vanished: poll would report that at once, again and again, and the
// caller's timing must not collapse into a busy loop.
void SleepUntil(const Deadline& deadline) {
  int left = deadline.RemainingMs();
  while (left > 0) {
    poll(nullptr, 0, left);
    left = deadline.RemainingMs();
  }
}

enum class WaitResult { Ready, TimedOut, HungUp };

WaitResult WaitFor(int fd, short events, const Deadline& deadline) {
  for (;;) {
    const int left = deadline.RemainingMs();
    if (left == 0) return WaitResult::TimedOut;
    pollfd p{fd, events, 0};
    const int ready = poll(&p, 1, left);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) return WaitResult::HungUp;
    if (ready == 0) return WaitResult::TimedOut;
    // Checked before the data bit: a hung-up tty also reports POLLIN, and
    // the read that follows would find nothing, again and again.
    if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) return WaitResult::HungUp;
    return WaitResult::Ready;
  }
}

// Whether the kernel files the character device under another class than
// tty (memory devices, watchdogs, sound cards): such a device is refused
// without being opened, since merely opening some of them has effects. Pseudo
// terminals have no entry; for them, and whenever sysfs cannot tell, the
// opened descriptor is asked instead.
bool KnownNotToBeATerminal(dev_t device) {
  const std::string link = "/sys/dev/char/" + std::to_string(major(device)) + ":" +
                           std::to_string(minor(device)) + "/subsystem";
  char target[256];
  const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
  if (n <= 0) return false;
  const std::string subsystem(target, static_cast<std::size_t>(n));
  return subsystem.size() < 4 || subsystem.compare(subsystem.size() - 4, 4, "/tty") != 0;
}

// The terminals a modem never is, by their device numbers: the alias of the
// controlling terminal (/dev/tty, 5:0), the system console (/dev/console,
// 5:1) and the virtual consoles (/dev/tty0 to /dev/tty63, major 4).
bool IsConsoleDevice(dev_t device) {
  const unsigned majorNumber = major(device);
  const unsigned minorNumber = minor(device);
  return (majorNumber == 5 && minorNumber <= 1) || (majorNumber == 4 && minorNumber < 64);
}

// The controlling terminal's device number, from the tty_nr field of
// /proc/self/stat (the alias /dev/tty shows 5:0 to fstat, not the terminal
// behind it); nothing when the process has none.
std::optional<dev_t> ControllingTerminal() {
  std::ifstream in("/proc/self/stat");
  std::string stat;
  std::getline(in, stat);
  const std::size_t end = stat.rfind(')');  // the command name may hold anything
  if (end == std::string::npos) return std::nullopt;
  std::istringstream fields(stat.substr(end + 1));
  std::string state;
  long parent = 0, group = 0, session = 0, ttyNumber = 0;
  if (!(fields >> state >> parent >> group >> session >> ttyNumber) || ttyNumber == 0) {
    return std::nullopt;
  }
  const auto bits = static_cast<unsigned long>(ttyNumber);
  return makedev((bits >> 8) & 0xFFF, (bits & 0xFF) | ((bits >> 12) & 0xFFF00));
}

// The terminal a person may be at: the one of standard input, output or
// error, or the controlling terminal. A PIN written there shows on a screen,
// and what the keyboard types there would pass for the modem's answer.
bool IsOwnTerminal(dev_t device) {
  for (int fd = 0; fd <= 2; ++fd) {
    struct stat standard {};
    if (fstat(fd, &standard) == 0 && S_ISCHR(standard.st_mode) && standard.st_rdev == device) {
      return true;
    }
  }
  return ControllingTerminal() == device;
}

bool IsNeverAModem(dev_t device) {
  return IsConsoleDevice(device) || IsOwnTerminal(device);
}

}  // namespace

// The owner closes the port. This is the last line of defence for the real
// device: a forgotten Close must not leave the port locked and exclusive for
// the rest of the process (the tests' fake device keeps it marked open, so
// a forgotten Close still shows there).
PosixSerialDevice::~PosixSerialDevice() {
  Close();
}

PortOpenResult PosixSerialDevice::ClassifyOpenError(int error) {
  switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:       // a file where the path wants a folder
    case ELOOP:         // links in a loop: they lead nowhere
    case ENAMETOOLONG:  // no such name can exist
      return PortOpenResult::NotFound;
    case EACCES:
    case EPERM:
    case EBUSY:
    case EWOULDBLOCK:  // the lock another program holds
      return PortOpenResult::Busy;
    default:
      return PortOpenResult::Faulty;
  }
}

PortOpenResult PosixSerialDevice::Open(const std::string& name) {
  Close();
  const auto path = DevicePathForPort(name, std::getenv("TESSIVO_PORT_DIR"));
  if (!path) return PortOpenResult::NotFound;

  // Only a terminal is a port. A regular file, a folder or a FIFO under a
  // port's name (a link gone stale, a file that a write to a missing
  // /dev/ttyUSB0 created) is no port at all; a character device of another
  // kind, such as /dev/null, is one that cannot work. Both are refused before
  // anything is written or configured: the PIN must never land in a file.
  struct stat seen {};
  if (stat(path->c_str(), &seen) != 0) return ClassifyOpenError(errno);
  if (!S_ISCHR(seen.st_mode)) return PortOpenResult::NotFound;
  if (KnownNotToBeATerminal(seen.st_rdev)) return PortOpenResult::Faulty;
  // Decided by the device's numbers, never its name: a modem's pty may be
  // linked as /dev/tty9, and the user's own terminal has many names.
  if (IsNeverAModem(seen.st_rdev)) return PortOpenResult::Faulty;

  const int fd = ::open(path->c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return ClassifyOpenError(errno);
  const auto refuse = [fd](PortOpenResult why) {
    ::close(fd);
    return why;
  };
  // The path is looked at again through the descriptor: it may have been
  // replaced between the look and the open.
  struct stat opened {};
  if (fstat(fd, &opened) != 0 || !S_ISCHR(opened.st_mode)) return refuse(PortOpenResult::NotFound);
  if (!isatty(fd) || IsNeverAModem(opened.st_rdev)) return refuse(PortOpenResult::Faulty);
  // Our own controlling terminal answers this question, any other tty not.
  pid_t session = 0;
  if (ioctl(fd, TIOCGSID, &session) == 0 && session == getsid(0)) {
    return refuse(PortOpenResult::Faulty);
  }

  // Another program's exclusive mode is respected even where it does not
  // stop the open (root may open such a tty): we would talk into its
  // exchange, and clear its mode on closing.
  int exclusive = 0;
  if (ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0) {
    return refuse(PortOpenResult::Busy);
  }

  // Windows opens a COM port without sharing; the lock and the tty's
  // exclusive mode give a second program the same refusal here.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) return refuse(ClassifyOpenError(errno));
  // The settings as we found them, put back on closing, also when a signal
  // ends the run: the device is left as it was.
  settingsSaved_ = tcgetattr(fd, &savedSettings_) == 0;
  const termios* saved = settingsSaved_ ? &savedSettings_ : nullptr;
  // Registered first, so that a signal between the two calls cannot leave the
  // tty exclusive; clearing a mode that is not set yet does no harm.
  RegisterOpenPort(fd, saved, true);
  exclusiveSet_ = ioctl(fd, TIOCEXCL) == 0;
  if (!exclusiveSet_) {
    UnregisterOpenPort(fd);
    RegisterOpenPort(fd, saved, false);
  }
  fd_ = fd;
  return PortOpenResult::Opened;
}

void PosixSerialDevice::Purge() {
  if (fd_ >= 0) tcflush(fd_, TCIOFLUSH);
}

void PosixSerialDevice::Configure() {
  termios tio{};
  if (fd_ < 0 || tcgetattr(fd_, &tio) != 0) return;
  cfsetispeed(&tio, B9600);
  cfsetospeed(&tio, B9600);
  // 8N1 and raw bytes; hardware flow control (CRTSCTS) and the modem control
  // lines (CLOCAL, HUPCL) stay as the port had them. Software flow control
  // goes: a tty starts with IXON on, and a single XOFF byte from the modem
  // would then stop our output for good. A Windows COM port has none unless
  // asked for, and the exchange was made for that.
  tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB);
  tio.c_cflag |= CS8 | CREAD;
  tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | INPCK);
  tio.c_iflag &= ~(IXON | IXOFF | IXANY);
  tio.c_oflag &= ~OPOST;
  tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  tcsetattr(fd_, TCSANOW, &tio);
  // Output that an XOFF stopped before this (for us or an earlier program)
  // stays stopped after IXON is off; start it again.
  tcflow(fd_, TCOON);
}

std::size_t PosixSerialDevice::Read(char* buffer, std::size_t n) {
  const Deadline deadline = Deadline::FromNow(milliseconds(kReadTimeoutMs));
  if (fd_ < 0) {
    SleepUntil(deadline);
    return 0;
  }
  std::size_t got = 0;
  bool pollSaidReady = false;
  while (got < n) {
    const ssize_t r = ::read(fd_, buffer + got, n - got);
    if (r > 0) {
      got += static_cast<std::size_t>(r);
      pollSaidReady = false;
      continue;
    }
    if (r < 0 && errno == EINTR) continue;
    // A raw tty answers "nothing yet" with 0 (VMIN 0) or EAGAIN; poll then
    // tells waiting data from a hang-up. Nothing right after poll said
    // "readable" is an end of file: waiting for more would only spin.
    if ((r == 0 && !pollSaidReady) || (r < 0 && errno == EAGAIN)) {
      const WaitResult wait = WaitFor(fd_, POLLIN, deadline);
      pollSaidReady = wait == WaitResult::Ready;
      if (pollSaidReady) continue;
      if (wait == WaitResult::HungUp) SleepUntil(deadline);
      break;
    }
    // EIO and the like: the device hung up or vanished.
    SleepUntil(deadline);
    break;
  }
  return got;
}

std::size_t PosixSerialDevice::Write(const char* data, std::size_t n) {
  if (fd_ < 0) return 0;
  const Deadline deadline =
      Deadline::FromNow(milliseconds(kWriteTimeoutConstantMs + kWriteTimeoutPerByteMs * n));
  std::size_t sent = 0;
  while (sent < n) {
    const ssize_t w = ::write(fd_, data + sent, n - sent);
    if (w > 0) {
      sent += static_cast<std::size_t>(w);
      continue;
    }
    if (w < 0 && errno == EINTR) continue;
    if (w < 0 && errno == EAGAIN && WaitFor(fd_, POLLOUT, deadline) == WaitResult::Ready) continue;
    break;
  }
  return sent;
}

void PosixSerialDevice::Close() {
  if (fd_ < 0) return;
  tcflush(fd_, TCIOFLUSH);
  if (settingsSaved_) tcsetattr(fd_, TCSANOW, &savedSettings_);
  // The exclusive mode belongs to the tty, not to our descriptor: it would
  // outlive us while another holder (a virtual modem, a getty) keeps the tty
  // open and lock everybody else out. Only our own mode is cleared.
  if (exclusiveSet_) ioctl(fd_, TIOCNXCL);
  flock(fd_, LOCK_UN);
  UnregisterOpenPort(fd_);
  ::close(fd_);
  fd_ = -1;
  exclusiveSet_ = false;
  settingsSaved_ = false;
}

}  // namespace tessivo
