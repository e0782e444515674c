// The fault matrix against the real `tessivo` in console form: for every row
// the exit status, the signal, the bytes that reached the device (or that
// nothing was written to a port that is none), the time taken, and that the
// port is free at once afterwards.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <thread>

#include "tests/integration/fault_matrix.h"
#include "tests/support/process.h"
#include "tests/support/tone_capture.h"

namespace tessivo::testing {
namespace {

using namespace std::chrono;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// A run that the test does not simply wait for.
class Started {
 public:
  Started(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env)
      : pid_(Spawn(argv, env, "/dev/null", "/dev/null")) {}
  ~Started() {
    if (pid_ > 0 && !waited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  pid_t pid() const { return pid_; }
  // The wait status, or -1 when it did not end within timeoutMs.
  int Wait(long timeoutMs) {
    const auto until = steady_clock::now() + milliseconds(timeoutMs);
    int status = 0;
    while (steady_clock::now() < until) {
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        waited_ = true;
        return status;
      }
      std::this_thread::sleep_for(milliseconds(2));
    }
    return -1;
  }

 private:
  pid_t pid_ = -1;
  bool waited_ = false;
};

bool WaitUntil(const std::function<bool()>& condition, long timeoutMs) {
  const auto until = steady_clock::now() + milliseconds(timeoutMs);
  while (steady_clock::now() < until) {
    if (condition()) return true;
    std::this_thread::sleep_for(milliseconds(5));
  }
  return condition();
}

void ExpectSignal(const std::vector<CapturedTone>& tones, bool success) {
  ASSERT_EQ(tones.size(), success ? 1u : 2u);
  for (const auto& tone : tones) EXPECT_NEAR(tone.hz, success ? 3000 : 120, success ? 60 : 3);
}

// The settings of a tty as a program sees them, for before and after a run.
std::string SettingsOf(const std::string& path) {
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  termios tio{};
  const bool read = fd >= 0 && tcgetattr(fd, &tio) == 0;
  if (fd >= 0) close(fd);
  if (!read) return "unreadable";
  std::ostringstream s;
  s << std::hex << tio.c_iflag << ' ' << tio.c_oflag << ' ' << tio.c_cflag << ' ' << tio.c_lflag
    << ' ' << cfgetispeed(&tio) << ' ' << cfgetospeed(&tio);
  for (const cc_t c : tio.c_cc) s << ' ' << static_cast<int>(c);
  return s.str();
}

class FaultMatrix : public ::testing::TestWithParam<FaultRow> {};

TEST_P(FaultMatrix, ConsoleForm) {
  const FaultRow& row = GetParam();
  TempDir dir;
  const std::string port = dir / "com1";
  ToneCapture capture(dir.path());
  auto env = capture.Environment();
  env["TESSIVO_PORT_DIR"] = dir.path();
  const std::vector<std::string> argv = {TESSIVO_BIN, "COM1", row.pin};
  const std::string command = std::string("AT+CPIN=") + row.pin + "\r";

  // Ports that are none, and what must stay untouched in them.
  const std::string text = "a text file, not a modem\n";
  const std::string crafted = "\r\nOK\r\n\r\nOK\r\n";
  int fifoReader = -1;
  switch (row.port) {
    case PortKind::RegularFile:
      WriteFile(port, text);
      break;
    case PortKind::CraftedFile:
      WriteFile(port, crafted);
      break;
    case PortKind::Folder:
      ASSERT_EQ(mkdir(port.c_str(), 0700), 0);
      break;
    case PortKind::Fifo:
      ASSERT_EQ(mkfifo(port.c_str(), 0600), 0);
      fifoReader = open(port.c_str(), O_RDONLY | O_NONBLOCK);
      ASSERT_GE(fifoReader, 0);
      break;
    case PortKind::DevNull:
      ASSERT_EQ(symlink("/dev/null", port.c_str()), 0);
      break;
    case PortKind::DanglingLink:
      ASSERT_EQ(symlink((dir / "gone").c_str(), port.c_str()), 0);
      break;
    case PortKind::LinkToTextFile:
      WriteFile(dir / "notes.txt", text);
      ASSERT_EQ(symlink((dir / "notes.txt").c_str(), port.c_str()), 0);
      break;
    case PortKind::LinkLoop:
      ASSERT_EQ(symlink(port.c_str(), port.c_str()), 0);
      break;
    default:
      break;
  }
  const bool hasModem = row.port == PortKind::Modem || row.port == PortKind::HeldExclusive ||
                        row.port == PortKind::SecondProgram || row.port == PortKind::KilledMidway;
  std::unique_ptr<HostileModem> modem;
  if (hasModem) {
    modem = std::make_unique<HostileModem>(port, row.modem);
    ASSERT_TRUE(modem->running());
  }

  int holder = -1;
  if (row.port == PortKind::HeldExclusive) {
    holder = open(port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(ioctl(holder, TIOCEXCL), 0);
  }

  const std::string settingsBefore = hasModem ? SettingsOf(port) : "";

  if (row.port == PortKind::KilledMidway) {
    // SIGQUIT, SIGXCPU and SIGXFSZ would leave a core file in the test's
    // folder otherwise; they end the process by their signal all the same.
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    Started run(argv, env);
    ASSERT_TRUE(WaitUntil([&] { return modem->CommandArrived(); }, 5000));
    const auto signalled = steady_clock::now();
    kill(run.pid(), row.status);
    const int status = run.Wait(5000);
    const long tookMs = duration_cast<milliseconds>(steady_clock::now() - signalled).count();
    ASSERT_NE(status, -1) << "did not end";
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == row.status) << status;
    EXPECT_LT(tookMs, static_cast<long>(row.bound));
    EXPECT_EQ(modem->BytesIn(), command);
    ExpectFreeAtOnce(port);
    EXPECT_EQ(SettingsOf(port), settingsBefore) << "settings not restored";
    return;
  }

  std::unique_ptr<Started> first;
  if (row.port == PortKind::SecondProgram) {
    first = std::make_unique<Started>(argv, env);
    ASSERT_TRUE(WaitUntil([&] { return modem->CommandArrived(); }, 5000));
  }

  const ProcessResult run = RunProgram(argv, env);

  EXPECT_EQ(run.exitCode, row.status);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "");
  const bool success = row.status == 0;
  ExpectSignal(capture.Tones(), success);
  const long signalMs = success ? 200 : 1000;
  EXPECT_LT(run.elapsedMs - signalMs, static_cast<long>(row.bound)) << run.elapsedMs;

  switch (row.port) {
    case PortKind::RegularFile:
      EXPECT_EQ(ReadFile(port), text);
      break;
    case PortKind::CraftedFile:
      EXPECT_EQ(ReadFile(port), crafted);
      break;
    case PortKind::LinkToTextFile:
      EXPECT_EQ(ReadFile(dir / "notes.txt"), text);
      break;
    case PortKind::Fifo: {
      char buffer[64];
      EXPECT_LE(read(fifoReader, buffer, sizeof buffer), 0) << "bytes reached the FIFO";
      close(fifoReader);
      break;
    }
    case PortKind::HeldExclusive: {
      EXPECT_EQ(modem->BytesIn(), "");
      int exclusive = -1;
      ioctl(holder, TIOCGEXCL, &exclusive);
      EXPECT_EQ(exclusive, 1) << "the holder's exclusive mode was cleared";
      ioctl(holder, TIOCNXCL);  // the holder lets go, as a good program does
      close(holder);
      ExpectFreeAtOnce(port);
      break;
    }
    case PortKind::SecondProgram: {
      const int status = first->Wait(15000);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
      EXPECT_EQ(modem->BytesIn(), command);  // from the first run only
      ExpectFreeAtOnce(port);
      break;
    }
    case PortKind::Modem:
      EXPECT_EQ(modem->BytesIn(), command);
      if (row.modem.then == HostileBehaviour::Then::Stays) {
        ExpectFreeAtOnce(port);
        EXPECT_EQ(SettingsOf(port), settingsBefore) << "settings not restored";
      }
      break;
    default:
      break;
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, FaultMatrix, ::testing::ValuesIn(FaultRows()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tessivo::testing
