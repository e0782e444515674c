#include "platform/posix/posix_serial_device.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>

#include "platform/posix/deadline.h"
#include "platform/posix/port_names.h"

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

}  // namespace

PosixSerialDevice::~PosixSerialDevice() {
  // The owner closes the port; this only keeps a forgotten one from staying
  // locked for the rest of the process.
  Close();
}

PortOpenResult PosixSerialDevice::ClassifyOpenError(int error) {
  switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
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

  const int fd = ::open(path->c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return ClassifyOpenError(errno);

  // Windows opens a COM port without sharing; the lock and the tty's
  // exclusive mode give a second program the same refusal here.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    return ClassifyOpenError(error);
  }
  ioctl(fd, TIOCEXCL);
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
  // 8N1 and raw bytes; flow control (CRTSCTS, IXON/IXOFF) and the modem
  // control lines (CLOCAL, HUPCL) stay as the port had them.
  tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB);
  tio.c_cflag |= CS8 | CREAD;
  tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | INPCK);
  tio.c_oflag &= ~OPOST;
  tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  tcsetattr(fd_, TCSANOW, &tio);
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
  // The exclusive mode belongs to the tty, not to our descriptor: it would
  // outlive us while another holder (a virtual modem, a getty) keeps the tty
  // open and lock everybody else out.
  ioctl(fd_, TIOCNXCL);
  flock(fd_, LOCK_UN);
  ::close(fd_);
  fd_ = -1;
}

}  // namespace tessivo
