// The real `tessivo` in console form against the virtual modem on a real
// pseudo-terminal: the bytes on the wire, the tones, the exit status, and the
// silence on stdout and stderr.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#include "tests/support/cannot_run.h"
#include "tests/support/process.h"
#include "tests/support/tone_capture.h"

namespace tessivo::testing {
namespace {

enum class Signal { Success, Failure };

struct Case {
  const char* what;
  std::vector<std::string> args;   // after the program name
  std::vector<std::string> modem;  // options of the virtual modem
  int exitCode;
  Signal signal;
  const char* wire;  // bytes the modem must have received
};

// One row per exit status where a modem can produce it; the port rows that
// need a held or forbidden device follow as tests of their own.
const Case kCases[] = {
    {"right PIN", {"COM1", "1234"}, {}, 0, Signal::Success, "AT+CPIN=1234\r"},
    {"port name in any case opens the lower-case device",
     {"Com1", "1234"},
     {},
     0,
     Signal::Success,
     "AT+CPIN=1234\r"},
    {"wrong PIN, verbose errors",
     {"COM1", "9999"},
     {"--cmee", "2"},
     1,
     Signal::Failure,
     "AT+CPIN=9999\r"},
    {"wrong PIN, numeric errors",
     {"COM1", "9999"},
     {"--cmee", "1"},
     1,
     Signal::Failure,
     "AT+CPIN=9999\r"},
    {"wrong PIN, plain errors", {"COM1", "9999"}, {}, 1, Signal::Failure, "AT+CPIN=9999\r"},
    {"OK long after the command still counts",
     {"COM1", "1234"},
     {"--echo", "off", "--late-final", "3200"},
     0,
     Signal::Success,
     "AT+CPIN=1234\r"},
    {"letters go out in capitals", {"COM1", "abcd"}, {}, 1, Signal::Failure, "AT+CPIN=ABCD\r"},
    {"an echoed 1ok2 that the modem rejects",
     {"COM1", "1ok2"},
     {},
     1,
     Signal::Failure,
     "AT+CPIN=1OK2\r"},
    {"a PIN with ';' is never sent", {"COM1", "12;4"}, {}, 6, Signal::Failure, ""},
    {"absent port", {"COM2", "1234"}, {}, 3, Signal::Failure, ""},
    {"SIM without PIN request refuses",
     {"COM1", "1234"},
     {"--state", "ready"},
     1,
     Signal::Failure,
     "AT+CPIN=1234\r"},
    {"silent modem", {"COM1", "1234"}, {"--silent"}, 7, Signal::Failure, "AT+CPIN=1234\r"},
    {"device path that does not exist",
     {"/nonexistent/ttyUSB2", "1234"},
     {},
     3,
     Signal::Failure,
     ""},
    {"a folder is no device", {"/tmp", "1234"}, {}, 3, Signal::Failure, ""},
};

void ExpectSignal(const std::vector<CapturedTone>& tones, Signal signal) {
  const std::size_t count = signal == Signal::Success ? 1 : 2;
  ASSERT_EQ(tones.size(), count);
  for (const auto& tone : tones) {
    const double hz = signal == Signal::Success ? 3000 : 120;
    const double ms = signal == Signal::Success ? 200 : 400;
    EXPECT_NEAR(tone.hz, hz, hz * 0.02);
    EXPECT_NEAR(tone.ms, ms, 1.0);
  }
}

void PrintTo(const Case& c, std::ostream* out) {
  *out << c.what;
}

class ConsoleAgainstVirtualModem : public ::testing::TestWithParam<Case> {};

TEST_P(ConsoleAgainstVirtualModem, WireTonesAndExitStatus) {
  const Case& c = GetParam();
  TempDir dir;
  VirtualModem modem(dir / "com1", c.modem, dir / "transcript");
  ASSERT_TRUE(modem.running());
  ToneCapture capture(dir.path());
  auto env = capture.Environment();
  env["TESSIVO_PORT_DIR"] = dir.path();

  std::vector<std::string> argv = {TESSIVO_BIN};
  argv.insert(argv.end(), c.args.begin(), c.args.end());
  const ProcessResult run = RunProgram(argv, env);

  EXPECT_EQ(run.exitCode, c.exitCode);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(modem.BytesIn(), c.wire);
  ExpectSignal(capture.Tones(), c.signal);
}

INSTANTIATE_TEST_SUITE_P(Cases, ConsoleAgainstVirtualModem, ::testing::ValuesIn(kCases),
                         [](const auto& info) {
                           std::string name;
                           for (const char* p = info.param.what; *p; ++p) {
                             name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                           }
                           return name;
                         });

TEST(Console, BusyPortGivesTheFailureSignalAtOnceAndSendsNothing) {
  TempDir dir;
  VirtualModem modem(dir / "com1", {}, dir / "transcript");
  ASSERT_TRUE(modem.running());
  // Another program holds the port.
  const int holder = open(modem.Device().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
  ToneCapture capture(dir.path());
  auto env = capture.Environment();
  env["TESSIVO_PORT_DIR"] = dir.path();

  const ProcessResult run = RunProgram({TESSIVO_BIN, "COM1", "1234"}, env);
  close(holder);

  EXPECT_EQ(run.exitCode, 4);
  EXPECT_EQ(modem.BytesIn(), "");
  ExpectSignal(capture.Tones(), Signal::Failure);
  // The two tones and the pause take 1 s; an exchange would add about 3 s.
  EXPECT_LT(run.elapsedMs, 2500);
}

TEST(Console, PortIsFreeAgainAfterARun) {
  TempDir dir;
  VirtualModem modem(dir / "com1", {}, dir / "transcript");
  ASSERT_TRUE(modem.running());
  ToneCapture capture(dir.path());
  auto env = capture.Environment();
  env["TESSIVO_PORT_DIR"] = dir.path();
  EXPECT_EQ(RunProgram({TESSIVO_BIN, "COM1", "9999"}, env).exitCode, 1);
  EXPECT_EQ(RunProgram({TESSIVO_BIN, "COM1", "1234"}, env).exitCode, 0);
  const int fd = open(modem.Device().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
  close(fd);
}

// A port folder with the virtual modem as COM1 and the tone capture.
class ConsoleRun {
 public:
  explicit ConsoleRun(const std::vector<std::string>& modemOptions = {})
      : modem_(dir_ / "com1", modemOptions, dir_ / "transcript"), capture_(dir_.path()) {
    env_ = capture_.Environment();
    env_["TESSIVO_PORT_DIR"] = dir_.path();
  }
  VirtualModem& modem() { return modem_; }
  std::map<std::string, std::string>& env() { return env_; }
  std::vector<CapturedTone> Tones() { return capture_.Tones(); }
  std::string Path(const std::string& name) const { return dir_ / name; }

 private:
  TempDir dir_;
  VirtualModem modem_;
  ToneCapture capture_;
  std::map<std::string, std::string> env_;
};

TEST(Console, DevicePathIsUsedAsGiven) {
  // The link (as /dev/serial/by-id/... is one) and the device itself.
  for (const bool viaLink : {true, false}) {
    SCOPED_TRACE(viaLink ? "link" : "device");
    ConsoleRun run;
    ASSERT_TRUE(run.modem().running());
    const std::string path = viaLink ? run.Path("com1") : run.modem().Device();
    const ProcessResult result = RunProgram({TESSIVO_BIN, path, "1234"}, run.env());
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(run.modem().BytesIn(), "AT+CPIN=1234\r");
    ExpectSignal(run.Tones(), Signal::Success);
  }
}

TEST(Console, RefusedPermissionIsBusy) {
  ConsoleRun run;
  ASSERT_TRUE(run.modem().running());
  std::vector<std::string> argv = {TESSIVO_BIN, run.modem().Device(), "1234"};
  std::string device = run.modem().Device();
  if (geteuid() == 0) {
    // Root opens anything: the program runs as nobody, who may not open a
    // terminal that root's 0620 keeps to itself.
    ASSERT_EQ(chmod(device.c_str(), 0600), 0);
    argv.insert(argv.begin(),
                {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"});
  } else {
    ASSERT_EQ(chmod(device.c_str(), 0), 0);
  }
  const ProcessResult result = RunProgram(argv, run.env());
  chmod(device.c_str(), 0620);
  EXPECT_EQ(result.exitCode, 4) << result.err;
  EXPECT_EQ(run.modem().BytesIn(), "");
}

TEST(Console, PinFromStandardInput) {
  const struct {
    const char* input;
    int exitCode;
    const char* wire;
  } cases[] = {
      {"1234\n", 0, "AT+CPIN=1234\r"},
      {"9999\r\nmore lines\n", 1, "AT+CPIN=9999\r"},  // a line from a Windows file
      {"1234", 0, "AT+CPIN=1234\r"},                  // no line end at all
      {"12345\n", 6, ""},
      {"12;4\n", 6, ""},
      {"", 6, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    ConsoleRun run;
    ASSERT_TRUE(run.modem().running());
    ProgramIo io;
    io.input = c.input;
    const ProcessResult result = RunProgram({TESSIVO_BIN, "COM1", "-"}, run.env(), io);
    EXPECT_EQ(result.exitCode, c.exitCode);
    EXPECT_EQ(result.out + result.err, "");
    EXPECT_EQ(run.modem().BytesIn(), c.wire);
    ExpectSignal(run.Tones(), c.exitCode == 0 ? Signal::Success : Signal::Failure);
  }
}

// A PIN file others may read gave the PIN away already: refused, with the
// remedy named; a byte-order mark in front of the PIN is no part of it.
TEST(Console, PinFileModes) {
  const struct {
    unsigned mode;
    const char* input;
    std::vector<std::string> options;
    int exitCode;
    const char* err;
    const char* wire;
  } cases[] = {
      {0600, "1234\n", {}, 0, "", "AT+CPIN=1234\r"},
      {0400, "1234\n", {"--wait", "5"}, 0, "PIN angenommen", "AT+CPIN=1234\r"},
      {0644, "1234\n", {}, 6, "(Modus 0644), nicht gelesen; erst: chmod 600 ", ""},
      {0640, "1234\n", {"--wait", "5"}, 6, "(Modus 0640), nicht gelesen; erst: chmod 600 ", ""},
      {0600, "\xEF\xBB\xBF" "1234\r\n", {}, 0, "", "AT+CPIN=1234\r"},
      // A PUK and a new PIN from a file are secrets as well.
      {0644, "12345678\n4321\n", {"--puk"}, 6, "(Modus 0644), nicht gelesen", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    ConsoleRun run;
    ASSERT_TRUE(run.modem().running());
    ProgramIo io;
    io.input = c.input;
    io.inputMode = c.mode;
    std::vector<std::string> argv = {TESSIVO_BIN};
    argv.insert(argv.end(), c.options.begin(), c.options.end());
    argv.insert(argv.end(), {"COM1", "-"});
    if (c.options == std::vector<std::string>{"--puk"}) argv.push_back("-");
    const ProcessResult result = RunProgram(argv, run.env(), io);
    EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
    EXPECT_NE(result.err.find(c.err), std::string::npos) << result.err;
    if (*c.wire == '\0') {
      EXPECT_EQ(run.modem().BytesIn(), "");
    } else {
      EXPECT_NE(run.modem().BytesIn().find(c.wire), std::string::npos) << run.modem().BytesIn();
    }
  }
}

// Under --wait a pipe whose writer never ends the line cannot hold the run.
TEST(Console, SilentInputEndsWithTheDeadline) {
  ConsoleRun run;
  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  ProgramIo io;
  io.inputFd = pipeFds[0];
  const ProcessResult result = RunProgram({TESSIVO_BIN, "--wait", "2", "COM1", "-"}, run.env(), io);
  close(pipeFds[0]);
  close(pipeFds[1]);
  EXPECT_EQ(result.exitCode, 6) << result.err;
  EXPECT_LT(result.elapsedMs, 6000);
  EXPECT_EQ(run.modem().BytesIn(), "");
}

std::string CommandLineOf(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/cmdline", std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(Console, PinIsGoneFromTheProcessListWhileTheRunWaits) {
  ConsoleRun run({"--silent"});  // the run then waits its longest
  ASSERT_TRUE(run.modem().running());
  std::vector<std::string> seen;
  ProgramIo io;
  io.whileRunning = [&](pid_t pid) {
    // Once the command is on the wire, the run is past reading its arguments.
    if (seen.empty() && run.modem().BytesIn() == "AT+CPIN=4711\r")
      seen.push_back(CommandLineOf(pid));
  };
  const ProcessResult result = RunProgram({TESSIVO_BIN, "COM1", "4711"}, run.env(), io);
  EXPECT_EQ(result.exitCode, 7);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], std::string(TESSIVO_BIN) + '\0' + "COM1" + '\0' + "****" + '\0');
}

// While a run holds the PIN, its memory is no one else's: not dumpable (so
// /proc/PID/mem and environ belong to root, not to the user it runs as) and
// no core file, whatever the caller's limit.
TEST(Console, RunIsNotDumpable) {
  ConsoleRun run({"--silent"});  // the run then waits its longest
  ASSERT_TRUE(run.modem().running());
  const std::string device = run.modem().Device();
  std::vector<std::string> argv = {TESSIVO_BIN, device, "4711"};
  if (geteuid() == 0) {
    // As root every /proc file is root's anyway: the run goes as nobody.
    ASSERT_EQ(chmod(device.c_str(), 0666), 0);
    argv.insert(argv.begin(),
                {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"});
  }
  struct stat mem {};
  struct stat environ {};
  std::string limits;
  bool looked = false;
  ProgramIo io;
  io.whileRunning = [&](pid_t pid) {
    if (looked || run.modem().BytesIn() != "AT+CPIN=4711\r") return;
    const std::string proc = "/proc/" + std::to_string(pid);
    looked = stat((proc + "/mem").c_str(), &mem) == 0 &&
             stat((proc + "/environ").c_str(), &environ) == 0;
    std::ifstream in(proc + "/limits");
    for (std::string line; std::getline(in, line);) {
      if (line.rfind("Max core file size", 0) == 0) limits = line;
    }
  };
  const ProcessResult result = RunProgram(argv, run.env(), io);
  chmod(device.c_str(), 0620);
  EXPECT_EQ(result.exitCode, 7) << result.err;
  ASSERT_TRUE(looked);
  EXPECT_EQ(mem.st_uid, 0u);
  EXPECT_EQ(environ.st_uid, 0u);
  EXPECT_NE(limits.find(" 0 "), std::string::npos) << limits;
}

// Standard input on a pseudo-terminal: what the terminal shows, and its
// settings before, during and after the read.
class TerminalInput {
 public:
  TerminalInput() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    grantpt(master_);
    unlockpt(master_);
    slave_ = open(ptsname(master_), O_RDWR | O_NOCTTY);
    fcntl(master_, F_SETFL, O_NONBLOCK);
  }
  ~TerminalInput() {
    close(slave_);
    close(master_);
  }
  int slave() const { return slave_; }
  std::string Name() const { return ptsname(master_); }
  std::string Settings() const {
    termios tio{};
    tcgetattr(slave_, &tio);
    std::string bytes(reinterpret_cast<const char*>(&tio), sizeof tio);
    return bytes;
  }
  bool Echoes() const {
    termios tio{};
    tcgetattr(slave_, &tio);
    return (tio.c_lflag & ECHO) != 0;
  }
  void Type(const std::string& text) {
    ASSERT_EQ(write(master_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }
  std::string Shown() {
    std::string shown;
    char buffer[256];
    for (ssize_t n; (n = read(master_, buffer, sizeof buffer)) > 0;) shown.append(buffer, n);
    return shown;
  }

 private:
  int master_ = -1;
  int slave_ = -1;
};

TEST(Console, PinTypedOnATerminalIsNotEchoed) {
  ConsoleRun run;
  ASSERT_TRUE(run.modem().running());
  TerminalInput terminal;
  ASSERT_TRUE(terminal.Echoes());
  ProgramIo io;
  io.inputFd = terminal.slave();
  bool typed = false;
  io.whileRunning = [&](pid_t) {
    if (!typed && !terminal.Echoes()) {
      terminal.Type("1234\n");
      typed = true;
    }
  };
  const ProcessResult result = RunProgram({TESSIVO_BIN, "COM1", "-"}, run.env(), io, 15000);
  EXPECT_TRUE(typed);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(run.modem().BytesIn(), "AT+CPIN=1234\r");
  EXPECT_EQ(terminal.Shown().find("1234"), std::string::npos);
  EXPECT_TRUE(terminal.Echoes());
}

// The terminal the user sits at is no modem, by whatever name it is given:
// status 5 at once, nothing shown on it, its settings untouched. The runs
// have the harness's pty as standard input; setsid -c makes it the
// controlling terminal too.
TEST(Console, OwnTerminalIsRefusedAsAPort) {
  ASSERT_EQ(access("/usr/bin/setsid", X_OK), 0) << "setsid (util-linux) is needed";
  const struct {
    const char* what;
    std::vector<std::string> before;  // what runs the program
    const char* port;                 // nullptr: the harness's pty by its path
  } cases[] = {
      {"standard input's terminal by its path", {}, nullptr},
      {"/dev/tty of the controlling terminal", {"/usr/bin/setsid", "-w", "-c"}, "/dev/tty"},
      {"the controlling terminal by its path, streams elsewhere",
       {"/usr/bin/setsid", "-w", "-c", "/bin/sh", "-c", "exec \"$0\" \"$@\" </dev/null"},
       nullptr},
      {"the console", {}, "/dev/console"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ConsoleRun run;
    TerminalInput terminal;
    const std::string settings = terminal.Settings();
    std::vector<std::string> argv = c.before;
    argv.insert(argv.end(), {TESSIVO_BIN, c.port ? c.port : terminal.Name(), "4711"});
    ProgramIo io;
    io.inputFd = terminal.slave();
    const ProcessResult result = RunProgram(argv, run.env(), io, 10000);
    EXPECT_EQ(result.exitCode, 5) << result.err;
    EXPECT_EQ(result.out + result.err, "");
    EXPECT_EQ(terminal.Shown(), "");
    EXPECT_EQ(terminal.Settings(), settings);
    // The failure signal (1 s) and nothing else: an exchange with the
    // terminal would add about 3 s. The rest is room for a start under the
    // sanitizers on a busy machine (1.9 s seen there).
    EXPECT_LT(result.elapsedMs, 2500);
  }
}

// After a run the modem's tty has the settings it had before, not ours.
TEST(Console, PortSettingsAsFoundAfterARun) {
  ConsoleRun run;
  ASSERT_TRUE(run.modem().running());
  const int fd = open(run.modem().Device().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  termios before{};
  tcgetattr(fd, &before);
  cfsetspeed(&before, B19200);
  before.c_iflag |= IXON;
  before.c_cc[VMIN] = 3;
  tcsetattr(fd, TCSANOW, &before);
  tcgetattr(fd, &before);
  EXPECT_EQ(RunProgram({TESSIVO_BIN, "COM1", "1234"}, run.env()).exitCode, 0);
  termios after{};
  tcgetattr(fd, &after);
  close(fd);
  EXPECT_EQ(cfgetospeed(&after), B19200);
  EXPECT_EQ(after.c_iflag, before.c_iflag);
  EXPECT_EQ(after.c_oflag, before.c_oflag);
  EXPECT_EQ(after.c_cflag, before.c_cflag);
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(after.c_cc[VMIN], 3);
}

TEST(Console, InterruptedPinReadGivesTheEchoBack) {
  const int signals[] = {SIGINT, SIGTERM, SIGHUP};
  for (int signal : signals) {
    SCOPED_TRACE(signal);
    ConsoleRun run;
    TerminalInput terminal;
    ProgramIo io;
    io.inputFd = terminal.slave();
    bool sent = false;
    io.whileRunning = [&](pid_t pid) {
      if (!sent && !terminal.Echoes()) {
        kill(pid, signal);
        sent = true;
      }
    };
    const ProcessResult result = RunProgram({TESSIVO_BIN, "COM1", "-"}, run.env(), io, 10000);
    EXPECT_TRUE(sent);
    EXPECT_EQ(result.exitCode, -1);  // ended by the signal, not by a time-out of ours
    EXPECT_LT(result.elapsedMs, 5000);
    EXPECT_TRUE(terminal.Echoes());
    EXPECT_EQ(run.modem().BytesIn(), "");
  }
}

// Mistyped command lines against the virtual modem: the usage text and the line naming the fault,
// status 2, no tone, and nothing on the wire, whether or not a display could show a dialog.
TEST(Console, RefusedCommandLinesSendNothing) {
  const struct {
    std::vector<std::string> args;
    const char* lastLine;
  } cases[] = {
      {{"--dry-run", "COM1", "4711"}, "Unbekannte Option \"--dry-run\"\n"},
      {{"--wiat", "60", "COM1", "4711"}, "Unbekannte Option \"--wiat\"\n"},
      {{"COM1", "-v", "4711"}, "Unbekannte Option \"-v\"\n"},
      {{"COM1", "4711", "-v"}, "Unbekannte Option \"-v\"\n"},
      {{"COM1", "4711", "--wait", "60"}, "Optionen stehen vor PORT: \"--wait\"\n"},
      {{"x", "COM1", "4711"}, "Zu viele Argumente (Argument 3): nur PORT und PIN\n"},
      {{"COM1", "4711", "4711"}, "Zu viele Argumente (Argument 3): nur PORT und PIN\n"},
      {{"--help", "COM1", "4711"}, "\"--help\" steht nur allein\n"},
      {{"--version", "COM1", "4711"}, "\"--version\" steht nur allein\n"},
      {{"--wait", "0", "COM1", "4711"},
       "Sekunden f\xC3\xBCr \"--wait\": 1 bis 3600, nicht \"0\"\n"},
      {{"--last-try", "COM1", "4711"}, "\"--last-try\" nur zusammen mit \"--wait\"\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    ConsoleRun run;
    ASSERT_TRUE(run.modem().running());
    std::vector<std::string> argv = {TESSIVO_BIN};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    auto env = run.env();
    env["QT_QPA_PLATFORM"] = "offscreen";  // a dialog, if one opened, would keep running
    const ProcessResult result = RunProgram(argv, env, 10000);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err.rfind("Aufruf: tessivo", 0), 0u) << result.err;
    const std::size_t end = result.err.size();
    const std::size_t lineLength = std::string(c.lastLine).size();
    ASSERT_GE(end, lineLength);
    EXPECT_EQ(result.err.substr(end - lineLength), c.lastLine);
    EXPECT_EQ(result.err.find("4711"), std::string::npos);  // the PIN is never repeated
    EXPECT_EQ(run.modem().BytesIn(), "");
    EXPECT_TRUE(run.Tones().empty());
  }
}

char ProcessState(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat;
  std::getline(in, stat);
  const std::size_t end = stat.rfind(')');
  return end == std::string::npos || end + 2 >= stat.size() ? '?' : stat[end + 2];
}

// A stop while the PIN is typed gives the shell its terminal back with the
// echo on; going on switches it off again, also when the terminal was set
// meanwhile (as a shell sets its own) or the stop could not be caught.
TEST(Console, PinReadKeepsEchoOffAcrossAStop) {
  const struct {
    const char* what;
    int stop;
    bool echoOnWhileStopped;  // the terminal shows the echo during the stop
    bool setMeanwhile;        // the test switches the echo on during the stop
  } cases[] = {
      {"Ctrl-Z, fg", SIGTSTP, true, false},
      {"Ctrl-Z, the shell's settings, fg", SIGTSTP, true, true},
      {"a read from the background, fg", SIGTTIN, true, false},
      {"SIGSTOP, the shell's settings, SIGCONT", SIGSTOP, false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ConsoleRun run;
    ASSERT_TRUE(run.modem().running());
    TerminalInput terminal;
    ProgramIo io;
    io.inputFd = terminal.slave();
    io.ownProcessGroup = true;  // a job of its own, or the stop would be discarded
    int stage = 0;
    bool echoWhileStopped = false;
    io.whileRunning = [&](pid_t pid) {
      if (stage == 0 && !terminal.Echoes()) {
        kill(pid, c.stop);
        stage = 1;
      } else if (stage == 1 && ProcessState(pid) == 'T') {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        echoWhileStopped = terminal.Echoes();
        if (c.setMeanwhile) {
          termios tio{};
          tcgetattr(terminal.slave(), &tio);
          tio.c_lflag |= ECHO;
          tcsetattr(terminal.slave(), TCSANOW, &tio);
        }
        kill(pid, SIGCONT);
        stage = 2;
      } else if (stage == 2 && ProcessState(pid) != 'T' && !terminal.Echoes()) {
        terminal.Type("1234\n");
        stage = 3;
      }
    };
    const ProcessResult result = RunProgram({TESSIVO_BIN, "COM1", "-"}, run.env(), io, 15000);
    EXPECT_EQ(stage, 3);
    EXPECT_EQ(echoWhileStopped, c.echoOnWhileStopped);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(run.modem().BytesIn(), "AT+CPIN=1234\r");
    EXPECT_EQ(terminal.Shown().find("1234"), std::string::npos);
    EXPECT_TRUE(terminal.Echoes());
  }
}

// A signal the caller ignores (trap '' INT) changes nothing: the read goes
// on with the echo off, and the PIN typed afterwards is not shown.
TEST(Console, IgnoredSignalLeavesTheEchoOff) {
  for (const char* signal : {"INT", "HUP", "TERM", "QUIT", "TSTP"}) {
    SCOPED_TRACE(signal);
    ConsoleRun run;
    ASSERT_TRUE(run.modem().running());
    TerminalInput terminal;
    ProgramIo io;
    io.inputFd = terminal.slave();
    io.ownProcessGroup = true;
    int stage = 0;
    std::chrono::steady_clock::time_point sentAt;
    // The signal's number, as the shell's trap names it.
    const std::map<std::string, int> numbers = {
        {"INT", SIGINT}, {"HUP", SIGHUP}, {"TERM", SIGTERM}, {"QUIT", SIGQUIT}, {"TSTP", SIGTSTP}};
    const int number = numbers.at(signal);
    bool echoAfterSignal = true;
    io.whileRunning = [&](pid_t pid) {
      if (stage == 0 && !terminal.Echoes()) {
        kill(pid, number);
        sentAt = std::chrono::steady_clock::now();
        stage = 1;
      } else if (stage == 1 &&
                 std::chrono::steady_clock::now() - sentAt > std::chrono::milliseconds(100)) {
        echoAfterSignal = terminal.Echoes();
        terminal.Type("1234\n");
        stage = 2;
      }
    };
    const ProcessResult result =
        RunProgram({"/bin/sh", "-c", std::string("trap '' ") + signal + "; exec \"$0\" \"$@\"",
                    TESSIVO_BIN, "COM1", "-"},
                   run.env(), io, 15000);
    EXPECT_EQ(stage, 2);
    EXPECT_FALSE(echoAfterSignal);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(run.modem().BytesIn(), "AT+CPIN=1234\r");
    EXPECT_EQ(terminal.Shown().find("1234"), std::string::npos);
    EXPECT_TRUE(terminal.Echoes());
  }
}

// Starts that are not in console form, on a machine without a display that
// answers: the usage text on stderr and status 2, never a Qt abort.
TEST(Console, WithoutADisplayTheUsageTextAndStatusTwo) {
  const std::vector<std::string> kNoDisplay = {"DISPLAY", "WAYLAND_DISPLAY", "WAYLAND_SOCKET",
                                               "QT_QPA_PLATFORM"};
  const struct {
    const char* what;
    std::vector<std::string> args;
    std::map<std::string, std::string> env;
  } cases[] = {
      {"no arguments", {}, {}},
      {"three-digit PIN", {"COM1", "123"}, {}},
      {"five-digit PIN", {"COM1", "12345"}, {}},
      {"port alone", {"COM1"}, {}},
      {"three-digit port", {"COM100", "1234"}, {}},
      {"a display nobody serves", {}, {{"DISPLAY", ":99"}}},
      {"xcb asked for, nobody serves", {}, {{"DISPLAY", ":99"}, {"QT_QPA_PLATFORM", "xcb"}}},
      {"a Wayland socket that is not there", {}, {{"WAYLAND_DISPLAY", "wayland-99"}}},
      // Qt gives up the process itself here; it must end as quietly.
      {"a Qt platform that is not installed", {}, {{"QT_QPA_PLATFORM", "nosuchplatform"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> argv = {TESSIVO_BIN};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    ProgramIo io;
    io.unset = kNoDisplay;
    const ProcessResult result = RunProgram(argv, c.env, io);
    EXPECT_EQ(result.exitCode, 2);  // -1 would be a signal: Qt's abort
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err.rfind("Aufruf: tessivo PORT PIN", 0), 0u) << result.err;
    EXPECT_NE(result.err.find("Beispiel: tessivo COM1 1234"), std::string::npos);
    EXPECT_NE(result.err.find("/dev/ttyUSB2"), std::string::npos);
    EXPECT_NE(result.err.find("dialout"), std::string::npos);
    EXPECT_NE(result.err.find("Ger\xC3\xA4tepfad"), std::string::npos);  // UTF-8 on a terminal
    // Short: --wait, the statuses 8 to 10, which of them may be retried, the
    // SIM's forms and who can read a PIN in the arguments took it from 8
    // lines to 17.
    EXPECT_LE(std::count(result.err.begin(), result.err.end(), '\n'), 17);
    // Who can read a PIN given in the arguments, and the safer way.
    EXPECT_NE(result.err.find("f\xC3\xBCr andere lesbar; sicherer: - </etc/tessivo/pin"),
              std::string::npos);
  }
}

TEST(Console, HelpAndVersion) {
  const struct {
    std::vector<std::string> args;
    const char* startOfOutput;
  } cases[] = {
      {{"--help"}, "Aufruf: tessivo PORT PIN"},
      {{"-h"}, "Aufruf: tessivo PORT PIN"},
      {{"--version"}, "tessivo 1.0.0\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0]);
    std::vector<std::string> argv = {TESSIVO_BIN};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const ProcessResult result = RunProgram(argv, {});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out.rfind(c.startOfOutput, 0), 0u) << result.out;
    EXPECT_EQ(result.err, "");
  }
}

// The text into a pipe whose reader has gone (tessivo --help | head -0): the
// status stays that of the text, not death by SIGPIPE.
TEST(Console, TextIntoAClosedPipeKeepsItsStatus) {
  const struct {
    std::vector<std::string> args;
    int status;
  } cases[] = {
      {{"--help"}, 0},
      {{"--version"}, 0},
      {{"--bogus"}, 2},  // the usage text on stderr
      {{}, 2},           // no display: the usage text on stderr
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    close(pipeFds[0]);  // nobody reads
    const pid_t child = fork();
    if (child == 0) {
      for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "WAYLAND_SOCKET", "QT_QPA_PLATFORM"}) {
        unsetenv(name);
      }
      signal(SIGPIPE, SIG_DFL);  // as a shell starts it, whatever the test runner does
      dup2(pipeFds[1], 1);
      dup2(pipeFds[1], 2);
      std::vector<char*> argv = {const_cast<char*>(TESSIVO_BIN)};
      for (const auto& a : c.args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(pipeFds[1]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    if (WIFEXITED(status)) {
      EXPECT_EQ(WEXITSTATUS(status), c.status);
    }
  }
}

// With a display that answers, the same starts open the dialog: the program
// is still running (the dialog waits for its user) when the test ends it.
TEST(Console, WithADisplayTheDialogOpens) {
  TempDir ports;
  ProgramIo io;
  io.unset = {"DISPLAY", "WAYLAND_DISPLAY", "WAYLAND_SOCKET"};
  const ProcessResult offscreen =
      RunProgram({TESSIVO_BIN},
                 {{"QT_QPA_PLATFORM", "offscreen"}, {"TESSIVO_PORT_DIR", ports.path()}}, io, 3000);
  EXPECT_EQ(offscreen.exitCode, -1) << offscreen.err;
  EXPECT_EQ(offscreen.err.find("Aufruf"), std::string::npos);

  if (access("/usr/bin/Xvfb", X_OK) != 0) TESSIVO_CANNOT_RUN("no Xvfb for the X11 case");
  // A real X server, found through DISPLAY as a desktop session has it.
  const std::string displayFile = ports / "display";
  const pid_t xvfb = fork();
  if (xvfb == 0) {
    const int fd = open(displayFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int null = open("/dev/null", O_RDWR);
    dup2(fd, 3);
    dup2(null, 0);
    dup2(null, 1);
    dup2(null, 2);
    execl("/usr/bin/Xvfb", "Xvfb", "-displayfd", "3", "-nolisten", "tcp", nullptr);
    _exit(127);
  }
  std::string number;
  for (int i = 0; i < 200 && number.find('\n') == std::string::npos; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::ifstream in(displayFile);
    std::getline(in, number, '\0');
  }
  io.unset.push_back("QT_QPA_PLATFORM");
  const ProcessResult x11 = RunProgram(
      {TESSIVO_BIN},
      {{"DISPLAY", ":" + number.substr(0, number.find('\n'))}, {"TESSIVO_PORT_DIR", ports.path()}},
      io, 4000);
  kill(xvfb, SIGTERM);
  waitpid(xvfb, nullptr, 0);
  EXPECT_EQ(x11.exitCode, -1) << x11.err;
  EXPECT_EQ(x11.err.find("Aufruf"), std::string::npos) << x11.err;
}

// tessivo keeps the start decisions and hands a dialog start to
// tessivo-dialog beside it: the same process (its parent is still this test)
// with the same arguments as the process list shows them (everything after
// the port already hidden, so the dialog's command line never shows a PIN),
// whose exit status is the start's. Here a copy of
// tessivo sits in a folder with a stand-in that notes what it was given, or
// with none.
TEST(Console, DialogStartsBecomeTheDialogProgram) {
  enum class StandIn { Missing, Runs, NotExecutable };
  const std::string kHint = "F\xC3\xBCr das Fenster fehlt das Paket tessivo-gui";
  const struct {
    const char* what;
    StandIn standIn;
    std::vector<std::string> args;
    std::map<std::string, std::string> env;
    int exitCode;
    bool handedOver;  // the stand-in ran, with the arguments below
    bool hint;        // usage text and the package line on stderr
    std::vector<std::string> handed = {};
  } cases[] = {
      {"no arguments", StandIn::Runs, {}, {}, 5, true, false},
      {"five-digit PIN", StandIn::Runs, {"COM1", "12345"}, {}, 5, true, false, {"COM1", "*****"}},
      {"an argument with spaces", StandIn::Runs, {"COM1", "12 4 6"}, {}, 5, true, false,
       {"COM1", "******"}},
      {"console form stays here", StandIn::Runs, {"COM1", "1234"}, {}, 3, false, false},
      {"--version stays here", StandIn::Runs, {"--version"}, {}, 0, false, false},
      {"--help stays here", StandIn::Runs, {"--help"}, {}, 0, false, false},
      {"missing, a display answers", StandIn::Missing, {}, {{"QT_QPA_PLATFORM", "offscreen"}}, 2,
       false, true},
      {"missing, no display", StandIn::Missing, {"COM1"}, {}, 2, false, true},
      {"not executable", StandIn::NotExecutable, {}, {{"QT_QPA_PLATFORM", "offscreen"}}, 2, false,
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const std::string program = dir / "tessivo";
    {
      std::ifstream from(TESSIVO_BIN, std::ios::binary);
      std::ofstream to(program, std::ios::binary);
      to << from.rdbuf();
    }
    ASSERT_EQ(chmod(program.c_str(), 0755), 0);
    const std::string noted = dir / "noted";
    if (c.standIn != StandIn::Missing) {
      std::ofstream(dir / "tessivo-dialog")
          << "#!/bin/sh\nprintf '%s\\n' \"$PPID\" \"$@\" > '" << noted << "'\nexit 5\n";
      chmod((dir / "tessivo-dialog").c_str(), c.standIn == StandIn::Runs ? 0755 : 0644);
    }
    TempDir ports;
    std::map<std::string, std::string> env = c.env;
    env["TESSIVO_PORT_DIR"] = ports.path();
    ProgramIo io;
    io.unset = {"DISPLAY", "WAYLAND_DISPLAY", "WAYLAND_SOCKET", "QT_QPA_PLATFORM"};
    std::vector<std::string> argv = {program};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const ProcessResult result = RunProgram(argv, env, io, 10000);

    EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
    std::ifstream in(noted);
    const std::string seen((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (c.handedOver) {
      std::string expected = std::to_string(getpid()) + "\n";
      for (const auto& arg : c.handed) expected += arg + "\n";
      EXPECT_EQ(seen, expected);
    } else {
      EXPECT_EQ(seen, "");
    }
    if (c.hint) {
      EXPECT_EQ(result.err.rfind("Aufruf: tessivo PORT PIN", 0), 0u) << result.err;
      EXPECT_NE(result.err.find(kHint), std::string::npos) << result.err;
      // The usage text and the one line naming the package.
      const std::string usage = RunProgram({TESSIVO_BIN, "--help"}, {}).out;
      EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'),
                std::count(usage.begin(), usage.end(), '\n') + 1);
    } else {
      EXPECT_EQ(result.err.find(kHint), std::string::npos) << result.err;
    }
  }
}

}  // namespace
}  // namespace tessivo::testing
