// The real `tessivo --wait` against the virtual modem on a real
// pseudo-terminal: the exit status, the one line on stderr, the signal, and
// the commands on the wire. Whatever the modem does, the PIN goes out at most
// once, and only to a SIM that waits for it. Each row is its own test, so
// `ctest -j` runs them side by side; none waits longer than a few seconds.
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/support/process.h"
#include "tests/support/tone_capture.h"

namespace tessivo::testing {
namespace {

struct Case {
  const char* what;
  // After the program name; "@PORT@" is the modem's link, "@ABSENT@" a
  // path where nothing ever appears.
  std::vector<std::string> args;
  std::vector<std::string> modem;  // options of the virtual modem
  long linkAfterMs;                // the port's link appears this late
  int exitCode;
  const char* report;   // part of the line on stderr ("" for none at all)
  int pinCommands;      // how many AT+CPIN= reached the modem
  const char* wireEnd;  // the commands the wire ends with
};

const char* const kPinSent = "AT+CPIN?\rAT+CGMI\rAT+CPINR\rAT+CPIN=1234\r";
const char* const kTriesAsked = "AT+CPIN?\rAT+CGMI\rAT+CPINR\r";

// clang-format off
const Case kCases[] = {
    // what, arguments, modem options, link after ms,
    //   exit status, stderr line, AT+CPIN= on the wire, wire ends with
    {"port link appears after 2 s", {"--wait", "10", "@PORT@", "1234"}, {}, 2000,
     0, "PIN angenommen (Status 0)", 1, kPinSent},
    {"modem mute for 2 s", {"--wait", "10", "@PORT@", "1234"}, {"--mute-at-start", "2000"}, 0,
     0, "PIN angenommen (Status 0)", 1, kPinSent},
    {"SIM busy for 3 s", {"--wait", "10", "@PORT@", "1234"}, {"--busy-at-start", "3000"}, 0,
     0, "PIN angenommen (Status 0)", 1, kPinSent},
    {"already unlocked", {"--wait", "10", "@PORT@", "1234"}, {"--state", "ready"}, 0,
     0, "schon freigegeben", 0, "AT\rAT+CPIN?\r"},
    {"PIN request off", {"--wait", "10", "@PORT@", "1234"}, {"--lock", "off"}, 0,
     0, "schon freigegeben", 0, "AT\rAT+CPIN?\r"},
    {"SIM wants its PUK", {"--wait", "10", "@PORT@", "1234"}, {"--state", "puk"}, 0,
     1, "SIM erwartet die PUK, nichts gesendet (Status 1)", 0, "AT\rAT+CPIN?\r"},
    {"one try left", {"--wait", "10", "@PORT@", "1234"}, {"--pin-tries", "1"}, 0,
     9, "nur noch ein PIN-Versuch \xC3\xBC" "brig", 0, kTriesAsked},
    {"one try left with --last-try", {"--wait", "10", "--last-try", "@PORT@", "1234"},
     {"--pin-tries", "1"}, 0,
     0, "PIN angenommen (Status 0)", 1, kPinSent},
    {"three tries and a wrong PIN", {"--wait", "10", "@PORT@", "9999"}, {"--cmee", "2"}, 0,
     1, "PIN abgelehnt", 1, "AT+CPIN?\rAT+CGMI\rAT+CPINR\rAT+CPIN=9999\r"},
    {"deadline on an absent port", {"--wait", "2", "@ABSENT@", "1234"}, {}, 0,
     3, "Wartezeit abgelaufen, Port fehlt (Status 3)", 0, ""},
    {"deadline on a silent modem", {"--wait", "2", "@PORT@", "1234"}, {"--silent"}, 0,
     7, "Wartezeit abgelaufen, Modem antwortet nicht (Status 7)", 0, "AT\r"},
    {"deadline on a SIM busy for ever", {"--wait", "2", "@PORT@", "1234"},
     {"--busy-at-start", "600000"}, 0,
     8, "Wartezeit abgelaufen, SIM nicht bereit", 0, "AT\rAT+CPIN?\r"},
    // Without --wait the PIN goes out at once; a busy SIM used up no try.
    {"SIM busy without --wait", {"@PORT@", "1234"}, {"--busy-at-start", "600000", "--cmee", "1"}, 0,
     8, "", 1, "AT+CPIN=1234\r"},
    // A hostile stick's timing: only a whole answer counts.
    {"tries late after the echo", {"--wait", "10", "@PORT@", "1234"},
     {"--pin-tries", "1", "--answer-delay", "AT+CPINR=250"}, 0,
     9, "nur noch ein PIN-Versuch", 0, kTriesAsked},
    {"tries after PIN2 and PUK lines", {"--wait", "10", "@PORT@", "1234"},
     {"--pin-tries", "1", "--tries-dialect", "3gpp",
      "--unsolicited-before", "AT+CPINR=+CPINR: SIM PIN2,3,3"}, 0,
     9, "nur noch ein PIN-Versuch", 0, kTriesAsked},
    {"state late after the echo", {"--wait", "10", "@PORT@", "1234"},
     {"--answer-delay", "AT+CPIN?=300"}, 0,
     0, "PIN angenommen (Status 0)", 1, kPinSent},
    {"state split in the line", {"--wait", "10", "@PORT@", "1234"},
     {"--split", "AT+CPIN?=16:300"}, 0,
     0, "PIN angenommen (Status 0)", 1, kPinSent},
    {"unsolicited READY before the PIN state", {"--wait", "3", "@PORT@", "1234"},
     {"--unsolicited-before", "AT+CPIN?=+CPIN: READY"}, 0,
     8, "SIM nicht bereit, nichts gesendet (Status 8)", 0, "AT\rAT+CPIN?\r"},
    {"unsolicited PIN state before READY", {"--wait", "3", "@PORT@", "1234"},
     {"--state", "ready", "--unsolicited-before", "AT+CPIN?=+CPIN: SIM PIN"}, 0,
     8, "SIM nicht bereit, nichts gesendet (Status 8)", 0, "AT\rAT+CPIN?\r"},
    {"RING amid the answer", {"--wait", "10", "@PORT@", "1234"},
     {"--unsolicited-before", "AT+CPIN?=RING"}, 0,
     0, "PIN angenommen (Status 0)", 1, kPinSent},
    // A PIN the modem echoed and answered too late: it went out, a try may
    // be gone, and no unit or script may send it again.
    {"PIN answered after 6.5 s", {"--wait", "10", "@PORT@", "1234"}, {"--late-final", "6500"}, 0,
     10, "keine Antwort", 1, kPinSent},
    {"PIN answered after 6.5 s, plain form", {"@PORT@", "1234"}, {"--late-final", "6500"}, 0,
     10, "", 1, "AT+CPIN=1234\r"},
    {"silent modem, plain form", {"@PORT@", "1234"}, {"--silent"}, 0,
     7, "", 1, "AT+CPIN=1234\r"},
    // The last try is kept on every stick, whichever way it tells its tries.
    {"one try left, Huawei", {"--wait", "10", "@PORT@", "1234"},
     {"--pin-tries", "1", "--tries-dialect", "huawei"}, 0,
     9, "nur noch ein PIN-Versuch", 0, "AT+CGMI\rAT^CPIN?\r"},
    {"one try left, ZTE", {"--wait", "10", "@PORT@", "1234"},
     {"--pin-tries", "1", "--tries-dialect", "zte"}, 0,
     9, "nur noch ein PIN-Versuch", 0, "AT+CGMI\rAT+ZPINPUK=?\r"},
    {"one try left, Quectel", {"--wait", "10", "@PORT@", "1234"},
     {"--pin-tries", "1", "--tries-dialect", "quectel"}, 0,
     9, "nur noch ein PIN-Versuch", 0, "AT+CGMI\rAT+QPINC?\r"},
    {"one try left, SIM query", {"--wait", "10", "@PORT@", "1234"},
     {"--pin-tries", "1", "--tries-dialect", "csim"}, 0,
     9, "nur noch ein PIN-Versuch", 0,
     "AT+CSIM=10,\"0020000100\"\rAT+CSIM=10,\"002C000100\"\r"},
    {"tries untold", {"--wait", "10", "@PORT@", "1234"},
     {"--pin-tries", "1", "--tries-dialect", "none", "--cmee", "1"}, 0,
     0, "PIN angenommen (Status 0)", 1, "AT+CPIN=1234\r"},
};
// clang-format on

int Count(const std::string& text, const std::string& part) {
  int n = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// Every command a run may send; anything else on the wire is a fault.
bool OnlyKnownCommands(const std::string& wire) {
  std::size_t start = 0;
  while (start < wire.size()) {
    const std::size_t end = wire.find('\r', start);
    if (end == std::string::npos) return false;
    const std::string command = wire.substr(start, end - start);
    static const char* const kQueries[] = {
        "AT",          "AT+CPIN?",      "AT+CGMI",  "AT+CPINR", "AT+CPINR=\"SIM PIN\"",
        "AT+CPINR=\"SIM PUK\"", "AT^CPIN?", "AT+ZPINPUK=?", "AT+QPINC?",
        "AT+CSIM=10,\"0020000100\"", "AT+CSIM=10,\"002C000100\""};
    bool known = command.rfind("AT+CPIN=", 0) == 0;
    for (const char* query : kQueries) known = known || command == query;
    if (!known) return false;
    start = end + 1;
  }
  return true;
}

void PrintTo(const Case& c, std::ostream* out) {
  *out << c.what;
}

class WaitAgainstVirtualModem : public ::testing::TestWithParam<Case> {};

TEST_P(WaitAgainstVirtualModem, StatusLineAndWire) {
  const Case& c = GetParam();
  TempDir dir;
  // The modem sits behind a link of its own; the port the run is given
  // appears as a second link when the case says so.
  VirtualModem modem(dir / "modem", c.modem, dir / "transcript");
  ASSERT_TRUE(modem.running());
  const std::string port = dir / "port";
  if (c.linkAfterMs == 0) {
    ASSERT_EQ(symlink(modem.Device().c_str(), port.c_str()), 0);
  }
  std::thread late([&] {
    if (c.linkAfterMs == 0) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(c.linkAfterMs));
    EXPECT_EQ(symlink(modem.Device().c_str(), port.c_str()), 0) << "the late link";
  });
  ToneCapture capture(dir.path());

  std::vector<std::string> argv = {TESSIVO_BIN};
  for (const auto& arg : c.args) {
    argv.push_back(arg == "@PORT@" ? port : arg == "@ABSENT@" ? dir / "absent" : arg);
  }
  const ProcessResult run = RunProgram(argv, capture.Environment());
  late.join();

  EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
  EXPECT_EQ(run.out, "");
  if (*c.report == '\0') {
    EXPECT_EQ(run.err, "");
  } else {
    EXPECT_EQ(Count(run.err, "\n"), 1) << run.err;
    EXPECT_EQ(run.err.rfind("tessivo: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(c.report), std::string::npos) << run.err;
  }
  const std::string wire = modem.BytesIn();
  EXPECT_EQ(Count(wire, "AT+CPIN="), c.pinCommands) << wire;
  EXPECT_TRUE(OnlyKnownCommands(wire)) << wire;
  const std::string end = c.wireEnd;
  EXPECT_TRUE(wire.size() >= end.size() &&
              wire.compare(wire.size() - end.size(), end.size(), end) == 0)
      << wire;
  EXPECT_EQ(capture.Tones().size(), c.exitCode == 0 ? 1u : 2u);
}

// Two runs at once on one modem (a double plug-in event, the unit and a run
// by hand), under two names for the same device: one PIN in all. The
// second waits for the first, then finds the SIM unlocked.
TEST(WaitTwice, TwoRunsAtOnceSendOnePin) {
  for (const bool plainSecond : {false, true}) {
    SCOPED_TRACE(plainSecond ? "--wait and the plain form" : "two --wait runs");
    TempDir dir;
    VirtualModem modem(dir / "modem", {"--answer-delay", "AT+CPIN=800"}, dir / "transcript");
    ASSERT_TRUE(modem.running());
    const std::string other = dir / "other";
    ASSERT_EQ(symlink(modem.Device().c_str(), other.c_str()), 0);
    const std::map<std::string, std::string> env;
    const pid_t first = Spawn({TESSIVO_BIN, "--wait", "10", dir / "modem", "1234"}, env,
                              dir / "out1", dir / "err1");
    // The second starts once the first has begun to look.
    for (int i = 0; i < 200 && modem.BytesIn().empty(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::vector<std::string> second = {TESSIVO_BIN, "--wait", "10", other, "1234"};
    if (plainSecond) second = {TESSIVO_BIN, other, "1234"};
    const ProcessResult run = RunProgram(second, env);
    int status = 0;
    waitpid(first, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    // The plain form finds the port busy at once; --wait looks afresh.
    EXPECT_EQ(run.exitCode, plainSecond ? 4 : 0) << run.err;
    EXPECT_EQ(Count(modem.BytesIn(), "AT+CPIN="), 1) << modem.BytesIn();
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, WaitAgainstVirtualModem, ::testing::ValuesIn(kCases),
                         [](const auto& info) {
                           std::string name;
                           for (const char* p = info.param.what; *p; ++p) {
                             name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                           }
                           return name;
                         });

}  // namespace
}  // namespace tessivo::testing
