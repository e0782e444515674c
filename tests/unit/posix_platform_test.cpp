// The Linux serial layer on real pseudo-terminals: names, errors, and the
// read semantics the modem exchange relies on.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "platform/posix/deadline.h"
#include "platform/posix/port_names.h"
#include "platform/posix/posix_serial_device.h"

namespace tessivo {
namespace {

using namespace std::chrono;

TEST(PortNames, Table) {
  struct Case {
    const char* name;
    const char* dir;
    const char* path;  // nullptr: no device
  } cases[] = {
      {"COM1", nullptr, "/dev/ttyUSB0"},
      {"com10", nullptr, "/dev/ttyUSB9"},
      {"COM11", nullptr, "/dev/ttyACM0"},
      {"COM20", nullptr, "/dev/ttyACM9"},
      {"COM21", nullptr, "/dev/ttyS0"},
      {"COM99", nullptr, "/dev/ttyS78"},
      {"COM1", "/tmp/p", "/tmp/p/com1"},
      {"cOm12", "/tmp/p", "/tmp/p/com12"},
      {"COM1", "", "/dev/ttyUSB0"},
      {"COM0", nullptr, nullptr},
      {"COM01", "/tmp/p", nullptr},
      {"COM100", nullptr, nullptr},
      {"COMXX", nullptr, nullptr},
      {"COM", nullptr, nullptr},
      {"LPT1", nullptr, nullptr},
      {"COM 7", nullptr, nullptr},
      {"COM5X", nullptr, nullptr},
      {"../x", "/tmp/p", nullptr},
      // A device path goes through untouched, whatever the port folder says.
      {"/dev/ttyUSB2", nullptr, "/dev/ttyUSB2"},
      {"/dev/serial/by-id/usb-Huawei_Mobile-if02-port0", "/tmp/p",
       "/dev/serial/by-id/usb-Huawei_Mobile-if02-port0"},
      {"/dev/COM1", "/tmp/p", "/dev/COM1"},
      {"dev/ttyUSB2", nullptr, nullptr},  // relative: no device path
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " in " + (c.dir ? c.dir : "(unset)"));
    const auto path = DevicePathForPort(c.name, c.dir);
    ASSERT_EQ(path.has_value(), c.path != nullptr);
    if (path) {
      EXPECT_EQ(*path, c.path);
    }
  }
}

TEST(OpenErrors, Table) {
  struct Case {
    int error;
    PortOpenResult result;
  } cases[] = {
      {ENOENT, PortOpenResult::NotFound},
      {ENODEV, PortOpenResult::NotFound},
      {ENXIO, PortOpenResult::NotFound},
      {EACCES, PortOpenResult::Busy},
      {EPERM, PortOpenResult::Busy},
      {EBUSY, PortOpenResult::Busy},
      {EWOULDBLOCK, PortOpenResult::Busy},
      {EIO, PortOpenResult::Faulty},
      {EISDIR, PortOpenResult::Faulty},
      {ELOOP, PortOpenResult::NotFound},
      {ENAMETOOLONG, PortOpenResult::NotFound},
      {ENOTDIR, PortOpenResult::NotFound},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PosixSerialDevice::ClassifyOpenError(c.error), c.result) << c.error;
  }
}

TEST(Deadline, RemainingRoundsUpAndStopsAtZero) {
  const auto t0 = Deadline::Clock::now();
  const Deadline d(t0, milliseconds(100));
  EXPECT_EQ(d.RemainingMs(t0), 100);
  EXPECT_EQ(d.RemainingMs(t0 + microseconds(99'001)), 1);  // never 0 while time is left
  EXPECT_EQ(d.RemainingMs(t0 + milliseconds(100)), 0);
  EXPECT_EQ(d.RemainingMs(t0 + milliseconds(250)), 0);
}

// A pseudo-terminal whose slave appears as COM1 in a temporary port folder.
class PtyPort : public ::testing::Test {
 protected:
  void SetUp() override {
    char slaveName[64];
    ASSERT_EQ(openpty(&master_, &slave_, slaveName, nullptr, nullptr), 0);
    termios raw{};
    tcgetattr(slave_, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave_, TCSANOW, &raw);
    char dirTemplate[] = "/tmp/tessivo-ports-XXXXXX";
    dir_ = mkdtemp(dirTemplate);
    ASSERT_EQ(symlink(slaveName, (dir_ + "/com1").c_str()), 0);
    setenv("TESSIVO_PORT_DIR", dir_.c_str(), 1);
  }
  void TearDown() override {
    unlink((dir_ + "/com1").c_str());
    rmdir(dir_.c_str());
    unsetenv("TESSIVO_PORT_DIR");
    close(master_);
    close(slave_);
  }
  void Send(const std::string& bytes) {
    ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  std::string Received() {
    std::string got;
    char buf[256];
    pollfd p{master_, POLLIN, 0};
    while (poll(&p, 1, 50) > 0) {
      const ssize_t n = read(master_, buf, sizeof buf);
      if (n <= 0) break;
      got.append(buf, static_cast<std::size_t>(n));
    }
    return got;
  }

  int master_ = -1;
  int slave_ = -1;
  std::string dir_;
};

termios SettingsOf(int fd) {
  termios tio{};
  tcgetattr(fd, &tio);
  return tio;
}

// The settings a program can see and change, c_cc included.
::testing::AssertionResult SameSettings(const termios& a, const termios& b) {
  if (a.c_iflag != b.c_iflag || a.c_oflag != b.c_oflag || a.c_cflag != b.c_cflag ||
      a.c_lflag != b.c_lflag || cfgetispeed(&a) != cfgetispeed(&b) ||
      cfgetospeed(&a) != cfgetospeed(&b)) {
    return ::testing::AssertionFailure() << "flags or speed changed";
  }
  for (std::size_t i = 0; i < NCCS; ++i) {
    if (a.c_cc[i] != b.c_cc[i]) return ::testing::AssertionFailure() << "c_cc[" << i << "]";
  }
  return ::testing::AssertionSuccess();
}

// Settings no one would mistake for ours: 19200 baud, XON/XOFF, CR to NL,
// output processing, a canonical line.
termios UnlikeOurs(int fd) {
  termios tio = SettingsOf(fd);
  cfsetspeed(&tio, B19200);
  tio.c_iflag |= IXON | ICRNL;
  tio.c_oflag |= OPOST | ONLCR;
  tio.c_lflag |= ICANON | ISIG;
  tio.c_cc[VMIN] = 5;
  tcsetattr(fd, TCSANOW, &tio);
  return SettingsOf(fd);
}

long ElapsedMs(steady_clock::time_point since) {
  return static_cast<long>(duration_cast<milliseconds>(steady_clock::now() - since).count());
}

TEST_F(PtyPort, ReadCollectsPiecesUntilTheTimeOut) {
  PosixSerialDevice device;
  ASSERT_EQ(device.Open("COM1"), PortOpenResult::Opened);
  device.Configure();
  std::thread modem([this] {
    Send("\r\nOK");
    std::this_thread::sleep_for(milliseconds(40));
    Send("\r\n");
  });
  char buf[100];
  const auto start = steady_clock::now();
  const std::size_t n = device.Read(buf, sizeof buf);
  const long took = ElapsedMs(start);
  modem.join();
  EXPECT_EQ(std::string(buf, n), "\r\nOK\r\n");  // one read, both pieces
  EXPECT_GE(took, 100);
  EXPECT_LT(took, 180);
  device.Close();
}

TEST_F(PtyPort, ReadReturnsAsSoonAsTheCountIsReached) {
  PosixSerialDevice device;
  ASSERT_EQ(device.Open("COM1"), PortOpenResult::Opened);
  device.Configure();
  Send("ABCDEFGH");
  char buf[4];
  const auto start = steady_clock::now();
  EXPECT_EQ(device.Read(buf, sizeof buf), 4u);
  EXPECT_LT(ElapsedMs(start), 50);
  EXPECT_EQ(std::string(buf, 4), "ABCD");
  device.Close();
}

TEST_F(PtyPort, WriteSendsRawBytesAndPurgeDropsInput) {
  PosixSerialDevice device;
  ASSERT_EQ(device.Open("com1"), PortOpenResult::Opened);
  device.Configure();
  EXPECT_EQ(device.Write("AT\r\n", 4), 4u);
  EXPECT_EQ(Received(), "AT\r\n");  // no CR/LF translation on the way out
  Send("stale");
  std::this_thread::sleep_for(milliseconds(20));
  device.Purge();
  char buf[16];
  EXPECT_EQ(device.Read(buf, sizeof buf), 0u);
  device.Close();
}

TEST_F(PtyPort, ConfigureSetsLineKeepsHardwareFlowControlAndDropsXonXoff) {
  termios before{};
  tcgetattr(slave_, &before);
  before.c_cflag |= CRTSCTS;
  before.c_iflag |= IXON | IXOFF | IXANY;
  tcsetattr(slave_, TCSANOW, &before);
  PosixSerialDevice device;
  ASSERT_EQ(device.Open("COM1"), PortOpenResult::Opened);
  device.Configure();
  termios after{};
  tcgetattr(slave_, &after);
  EXPECT_EQ(cfgetospeed(&after), B9600);
  EXPECT_EQ(after.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(after.c_cflag & (PARENB | CSTOPB), 0u);
  EXPECT_EQ(after.c_lflag & (ICANON | ECHO), 0u);
  EXPECT_NE(after.c_cflag & CRTSCTS, 0u);
  EXPECT_EQ(after.c_iflag & (IXON | IXOFF | IXANY), 0u);
  device.Close();
}

// An XOFF that reached the tty while it still had the kernel's default IXON
// (from the modem, or left over from an earlier program) must not keep the
// command from going out.
TEST_F(PtyPort, OutputStoppedByAnEarlierXoffGoesOutAfterConfigure) {
  termios withIxon{};
  tcgetattr(slave_, &withIxon);
  withIxon.c_iflag |= IXON;
  tcsetattr(slave_, TCSANOW, &withIxon);
  Send("\x13");
  std::this_thread::sleep_for(milliseconds(20));
  PosixSerialDevice device;
  ASSERT_EQ(device.Open("COM1"), PortOpenResult::Opened);
  device.Configure();
  EXPECT_EQ(device.Write("AT\r", 3), 3u);
  EXPECT_EQ(Received(), "AT\r");
  Send("\x13");  // now plain data: output goes on
  std::this_thread::sleep_for(milliseconds(20));
  EXPECT_EQ(device.Write("AT\r", 3), 3u);
  EXPECT_EQ(Received(), "AT\r");
  device.Close();
}

// Closing leaves the tty with the settings it had before the open, whether
// the device was closed or only freed.
TEST_F(PtyPort, SettingsAsFoundAfterTheRun) {
  for (const bool explicitClose : {true, false}) {
    SCOPED_TRACE(explicitClose ? "Close" : "freed");
    const termios before = UnlikeOurs(slave_);
    {
      PosixSerialDevice device;
      ASSERT_EQ(device.Open("COM1"), PortOpenResult::Opened);
      device.Configure();
      EXPECT_FALSE(SameSettings(SettingsOf(slave_), before));
      if (explicitClose) device.Close();
    }
    EXPECT_TRUE(SameSettings(SettingsOf(slave_), before));
  }
}

// The terminal a person sits at is never a port, whatever name it is given:
// standard input, output or error, the controlling terminal, /dev/tty and the
// console are refused as faulty before a byte is written or a setting
// changed. The same pty that is nobody's terminal, under a console's name,
// is a modem.
TEST_F(PtyPort, TheProcesssOwnTerminalIsNoPort) {
  enum class Ours { No, Input, Output, Error, Controlling };
  const std::string slaveName = ttyname(slave_);
  const std::string consoleName = dir_ + "/tty9";
  ASSERT_EQ(symlink(slaveName.c_str(), consoleName.c_str()), 0);
  const struct {
    const char* what;
    Ours ours;
    std::string port;
    PortOpenResult result;
  } cases[] = {
      {"standard input", Ours::Input, "COM1", PortOpenResult::Faulty},
      {"standard output", Ours::Output, slaveName, PortOpenResult::Faulty},
      {"standard error", Ours::Error, "COM1", PortOpenResult::Faulty},
      {"controlling terminal, streams elsewhere", Ours::Controlling, "COM1",
       PortOpenResult::Faulty},
      {"/dev/tty with a controlling terminal", Ours::Controlling, "/dev/tty",
       PortOpenResult::Faulty},
      {"/dev/console", Ours::No, "/dev/console", PortOpenResult::Faulty},
      {"nobody's terminal", Ours::No, "COM1", PortOpenResult::Opened},
      {"nobody's terminal named like a console", Ours::No, consoleName, PortOpenResult::Opened},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const termios before = UnlikeOurs(slave_);
    int told[2];
    int done[2];
    ASSERT_EQ(pipe(told), 0);
    ASSERT_EQ(pipe(done), 0);
    const pid_t child = fork();
    if (child == 0) {
      close(told[0]);
      close(done[1]);
      const int null = open("/dev/null", O_RDWR);
      for (int fd = 0; fd <= 2; ++fd) dup2(null, fd);
      if (c.ours == Ours::Input) dup2(slave_, 0);
      if (c.ours == Ours::Output) dup2(slave_, 1);
      if (c.ours == Ours::Error) dup2(slave_, 2);
      if (c.ours == Ours::Controlling && (setsid() < 0 || ioctl(slave_, TIOCSCTTY, 0) != 0)) {
        _exit(2);
      }
      PosixSerialDevice device;
      const PortOpenResult result = device.Open(c.port);
      if (result == PortOpenResult::Opened) device.Configure();
      const bool wrote = device.Write("AT+CPIN=1234\r", 13) != 0;
      const char answer[2] = {static_cast<char>('0' + static_cast<int>(result)), wrote ? 'w' : '-'};
      (void)!write(told[1], answer, 2);
      char go = 0;
      (void)!read(done[0], &go, 1);  // closing flushes what the test has not read yet
      device.Close();
      _exit(0);
    }
    close(told[1]);
    close(done[0]);
    char answer[2] = {};
    const ssize_t n = read(told[0], answer, 2);
    close(told[0]);
    const std::string received = Received();
    close(done[1]);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_EQ(n, 2) << "child status " << status;
    EXPECT_EQ(answer[0] - '0', static_cast<int>(c.result));
    const bool opened = c.result == PortOpenResult::Opened;
    EXPECT_EQ(answer[1], opened ? 'w' : '-');
    EXPECT_EQ(received, opened ? "AT+CPIN=1234\r" : "");
    EXPECT_TRUE(SameSettings(SettingsOf(slave_), before));
  }
  unlink(consoleName.c_str());
}

TEST_F(PtyPort, SecondOpenIsRefusedAsBusyUntilTheFirstCloses) {
  PosixSerialDevice first;
  PosixSerialDevice second;
  ASSERT_EQ(first.Open("COM1"), PortOpenResult::Opened);
  EXPECT_EQ(second.Open("COM1"), PortOpenResult::Busy);
  first.Close();
  EXPECT_EQ(second.Open("COM1"), PortOpenResult::Opened);
  second.Close();
}

TEST_F(PtyPort, MissingPortIsNotFound) {
  PosixSerialDevice device;
  EXPECT_EQ(device.Open("COM2"), PortOpenResult::NotFound);
  EXPECT_EQ(device.Open("LPT1"), PortOpenResult::NotFound);
}

// Only a terminal is a port: what else may sit under a port's name is
// refused, by the cause the user is told, and is never written to.
TEST_F(PtyPort, WhatIsNoTerminalIsNoPort) {
  const std::string text = "notes, not a modem\n";
  const std::string file = dir_ + "/notes.txt";
  { std::ofstream(file) << text; }
  const std::string fifo = dir_ + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const int fifoReader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(fifoReader, 0);
  const struct {
    const char* what;
    const char* target;  // what com2 links to
    PortOpenResult result;
  } cases[] = {
      {"a text file", "notes.txt", PortOpenResult::NotFound},
      {"a folder", ".", PortOpenResult::NotFound},
      {"a FIFO", "fifo", PortOpenResult::NotFound},
      {"nothing", "gone", PortOpenResult::NotFound},
      {"/dev/null", "/dev/null", PortOpenResult::Faulty},
  };
  const std::string com2 = dir_ + "/com2";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(symlink(c.target, com2.c_str()), 0);
    PosixSerialDevice device;
    EXPECT_EQ(device.Open("COM2"), c.result);
    EXPECT_EQ(device.Write("AT+CPIN=1234\r", 13), 0u);
    device.Close();
    unlink(com2.c_str());
  }
  char buffer[32];
  EXPECT_LE(read(fifoReader, buffer, sizeof buffer), 0);
  close(fifoReader);
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line + "\n", text);
  unlink(fifo.c_str());
  unlink(file.c_str());
}

int ExclusiveMode(int fd) {
  int exclusive = -1;
  ioctl(fd, TIOCGEXCL, &exclusive);
  return exclusive;
}

// A tty that another program holds in exclusive mode is busy for us, also
// where the open itself would pass (root), and keeps its mode after our try.
TEST_F(PtyPort, AnotherProgramsExclusiveModeIsBusyAndStays) {
  ASSERT_EQ(ioctl(slave_, TIOCEXCL), 0);
  PosixSerialDevice device;
  EXPECT_EQ(device.Open("COM1"), PortOpenResult::Busy);
  device.Close();
  EXPECT_EQ(ExclusiveMode(slave_), 1);
  ASSERT_EQ(ioctl(slave_, TIOCNXCL), 0);
  ASSERT_EQ(device.Open("COM1"), PortOpenResult::Opened);
  EXPECT_EQ(ExclusiveMode(slave_), 1);  // ours now
  device.Close();
  EXPECT_EQ(ExclusiveMode(slave_), 0);
}

// The owner closes; a device object freed without Close still lets go of
// the port, so a forgotten Close cannot lock it for the rest of the process.
TEST_F(PtyPort, DeviceFreedWithoutCloseLeavesThePortFree) {
  {
    PosixSerialDevice device;
    ASSERT_EQ(device.Open("COM1"), PortOpenResult::Opened);
  }
  EXPECT_EQ(ExclusiveMode(slave_), 0);
  PosixSerialDevice next;
  EXPECT_EQ(next.Open("COM1"), PortOpenResult::Opened);
  next.Close();
}

// A process ended by SIGINT, SIGTERM or SIGHUP while it holds a port
// releases it first (the tty is no longer exclusive, the lock is gone, its
// settings are as before) and
// still ends by that signal; one started with SIGHUP ignored (nohup) keeps
// ignoring it.
TEST_F(PtyPort, TerminatingSignalsReleaseTheOpenPortAndStillEndTheProcess) {
  const struct {
    int signal;
    bool ignoredAtStart;
  } cases[] = {{SIGINT, false}, {SIGTERM, false}, {SIGHUP, false}, {SIGHUP, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.signal) + (c.ignoredAtStart ? " ignored" : ""));
    const termios before = UnlikeOurs(slave_);
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    if (child == 0) {
      if (c.ignoredAtStart) signal(SIGHUP, SIG_IGN);
      PosixSerialDevice device;
      const bool opened = device.Open("COM1") == PortOpenResult::Opened;
      device.Configure();
      (void)!write(ready[1], opened ? "1" : "0", 1);
      for (;;) pause();
    }
    char opened = 0;
    const ssize_t told = read(ready[0], &opened, 1);
    close(ready[0]);
    close(ready[1]);
    if (told != 1 || opened != '1') {
      kill(child, SIGKILL);
      waitpid(child, nullptr, 0);
      FAIL() << "the child could not open the port";
    }
    EXPECT_EQ(ExclusiveMode(slave_), 1);
    kill(child, c.signal);
    int status = 0;
    if (c.ignoredAtStart) {
      std::this_thread::sleep_for(milliseconds(100));
      EXPECT_EQ(waitpid(child, &status, WNOHANG), 0) << "ended by an ignored signal";
      EXPECT_EQ(ExclusiveMode(slave_), 1);
      kill(child, SIGTERM);
    }
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), c.ignoredAtStart ? SIGTERM : c.signal);
    EXPECT_EQ(ExclusiveMode(slave_), 0);
    EXPECT_TRUE(SameSettings(SettingsOf(slave_), before));
    PosixSerialDevice next;
    EXPECT_EQ(next.Open("COM1"), PortOpenResult::Opened);
    next.Close();
  }
}

// A modem whose far end hung up has nothing more to give, yet each read must
// still take its 100 ms, without burning the CPU meanwhile.
TEST_F(PtyPort, HungUpDeviceWaitsOutTheTimeOutWithoutSpinning) {
  PosixSerialDevice device;
  ASSERT_EQ(device.Open("COM1"), PortOpenResult::Opened);
  close(master_);  // the modem vanishes
  master_ = -1;
  rusage before{};
  getrusage(RUSAGE_SELF, &before);
  const auto start = steady_clock::now();
  char buf[100];
  EXPECT_EQ(device.Read(buf, sizeof buf), 0u);
  EXPECT_EQ(device.Read(buf, sizeof buf), 0u);
  const long took = ElapsedMs(start);
  rusage after{};
  getrusage(RUSAGE_SELF, &after);
  const long cpuMs = (after.ru_utime.tv_sec - before.ru_utime.tv_sec) * 1000 +
                     (after.ru_utime.tv_usec - before.ru_utime.tv_usec) / 1000 +
                     (after.ru_stime.tv_sec - before.ru_stime.tv_sec) * 1000 +
                     (after.ru_stime.tv_usec - before.ru_stime.tv_usec) / 1000;
  EXPECT_GE(took, 200);
  EXPECT_LT(cpuMs, 50);
  device.Close();
}

}  // namespace
}  // namespace tessivo
