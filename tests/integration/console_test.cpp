// The real `tessivo` in console form against the virtual modem on a real
// pseudo-terminal: the bytes on the wire, the tones, the exit status, and the
// silence on stdout and stderr.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>

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
    {"a PIN with ';' is never sent", {"COM1", "12;4"}, {}, 1, Signal::Failure, ""},
    {"absent port", {"COM2", "1234"}, {}, 1, Signal::Failure, ""},
    {"SIM without PIN request refuses",
     {"COM1", "1234"},
     {"--state", "ready"},
     1,
     Signal::Failure,
     "AT+CPIN=1234\r"},
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

  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(modem.BytesIn(), "");
  ExpectSignal(capture.Tones(), Signal::Failure);
  EXPECT_LT(run.elapsedMs, 1500);  // the two tones and the pause take 1 s
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

}  // namespace
}  // namespace tessivo::testing
