#include "app/console_mode.h"

#include <gtest/gtest.h>

#include "app/sim_unlock_app.h"
#include "tests/support/fake_platform.h"

namespace tessivo {
namespace {

using testing::FakePlatform;
using testing::Tone;
using Replies = std::vector<std::pair<long, std::string>>;

const std::vector<Tone> kSuccess = {{3000, 200, 0}};
const std::vector<Tone> kFailure = {{120, 400, 0}, {120, 400, 0}};

// A modem that answers the PIN command with `answer` after `delay`, with or
// without echoing the command line first.
std::function<Replies(const std::string&)> Modem(const std::string& answer, long delay = 0,
                                                 bool echo = true) {
  return [=](const std::string& line) {
    Replies replies{{delay, answer}};
    if (echo) replies.insert(replies.begin(), {0, line});
    return replies;
  };
}

struct Case {
  const char* what;
  const char* pin;
  const char* answer;
  long delay;
  bool echo;
  bool accepted;
};

const Case kCases[] = {
    {"right PIN", "1234", "\r\nOK\r\n", 0, true, true},
    {"right PIN, no echo", "1234", "\r\nOK\r\n", 0, false, true},
    {"wrong PIN", "1234", "\r\n+CME ERROR: incorrect password\r\n", 0, true, false},
    {"plain error", "1234", "\r\nERROR\r\n", 0, true, false},
    {"OK after the echo, in the late collection", "1234", "\r\nOK\r\n", 2000, true, true},
    {"OK after Transact gave up", "1234", "\r\nOK\r\n", 3200, false, true},
    {"OK too late even for the late collection", "1234", "\r\nOK\r\n", 6000, false, false},
    // The echo of a PIN holding "ok" must not pass for the modem's OK.
    {"echoed 1ok2 rejected", "1ok2", "\r\n+CME ERROR: 16\r\n", 0, true, false},
    {"echoed okok rejected", "okok", "\r\nERROR\r\n", 0, true, false},
    {"echoed okok accepted", "okok", "\r\nOK\r\n", 0, true, true},
    // Error replies holding the letters "ok" are no acceptance.
    {"error text holding ok", "1234", "\r\n+CME ERROR: SIM broken\r\n", 0, true, false},
    {"Token ERROR", "1234", "\r\nToken ERROR\r\n", 0, true, false},
    {"OK joined after an ERROR", "1234", "\r\nERROR\r\nOK", 0, true, false},
};

TEST(ConsoleMode, OutcomeAndSignal) {
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    FakePlatform platform;
    platform.Port("com1").modem = Modem(c.answer, c.delay, c.echo);
    EXPECT_EQ(RunConsoleMode(platform, "com1", c.pin), c.accepted);
    EXPECT_EQ(platform.tones, c.accepted ? kSuccess : kFailure);
    EXPECT_FALSE(platform.Port("com1").isOpen);
  }
}

TEST(ConsoleMode, SendsThePinCommandAndClosesBeforeTheSignal) {
  FakePlatform platform;
  auto& port = platform.Port("com1");
  port.modem = Modem("\r\nOK\r\n");
  RunConsoleMode(platform, "com1", "ab12");
  EXPECT_EQ(port.written, "AT+CPIN=AB12\r");
  EXPECT_EQ(port.log.back(), "close");
  // open 100 ms, exchange 200, pause 500, nothing more comes: 1900.
  EXPECT_EQ(platform.tones.at(0).at, 2700);
  EXPECT_EQ(platform.events.front(), "sleep 500 @300");
}

TEST(ConsoleMode, FailureSignalWithoutTrafficWhenThePortDoesNotOpen) {
  const PortOpenResult causes[] = {PortOpenResult::NotFound, PortOpenResult::Busy,
                                   PortOpenResult::Faulty};
  for (PortOpenResult cause : causes) {
    FakePlatform platform;
    platform.Port("com1").openResult = cause;
    EXPECT_FALSE(RunConsoleMode(platform, "com1", "1234"));
    EXPECT_EQ(platform.tones, kFailure);
    EXPECT_EQ(platform.tones.at(0).at, 0);
    EXPECT_TRUE(platform.Port("com1").written.empty());
  }
}

TEST(ConsoleMode, UnsafePinIsNeverSentNorThePortOpened) {
  const char* const kUnsafe[] = {"12;4",
                                 "1\"34",
                                 "12,4",
                                 "12\r4",
                                 "\xFC"
                                 "123",
                                 "12 4",
                                 ""};
  for (const char* pin : kUnsafe) {
    SCOPED_TRACE(pin);
    FakePlatform platform;
    platform.Port("com1").modem = Modem("\r\nOK\r\n");
    EXPECT_FALSE(RunConsoleMode(platform, "com1", pin));
    EXPECT_EQ(platform.tones, kFailure);
    EXPECT_TRUE(platform.Port("com1").log.empty());
  }
}

TEST(SimUnlockApp, ExitStatusTellsTheOutcome) {
  struct AppCase {
    const char* line;
    const char* answer;
    int exitCode;
    std::size_t tones;
  } cases[] = {
      {"tessivo COM1 1234", "\r\nOK\r\n", 0, 1},
      {"tessivo COM1 1234", "\r\nERROR\r\n", 1, 2},
      {"tessivo COM9 1234", "\r\nOK\r\n", 1, 2},  // no such port
      {"tessivo", "\r\nOK\r\n", 0, 0},            // the dialog path: no signal
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    FakePlatform platform;
    platform.commandLine = c.line;
    platform.Port("com1").modem = Modem(c.answer);
    SimUnlockApp app(platform);
    EXPECT_EQ(app.Run(), c.exitCode);
    EXPECT_EQ(platform.tones.size(), c.tones);
  }
}

}  // namespace
}  // namespace tessivo
