#include "app/console_mode.h"

#include <gtest/gtest.h>

#include "app/sim_unlock_app.h"
#include "app/usage.h"
#include "tests/support/fake_platform.h"

namespace tessivo {

// What the unit tests' dialog path answers (app/no_dialog.cpp).
DialogPathResult& StandInDialogPathResult();

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

using O = ConsoleOutcome;

struct Case {
  const char* what;
  const char* pin;
  const char* answer;
  long delay;
  bool echo;
  ConsoleOutcome outcome;
};

const Case kCases[] = {
    {"right PIN", "1234", "\r\nOK\r\n", 0, true, O::Accepted},
    {"right PIN, no echo", "1234", "\r\nOK\r\n", 0, false, O::Accepted},
    {"wrong PIN", "1234", "\r\n+CME ERROR: incorrect password\r\n", 0, true, O::NotAccepted},
    {"plain error", "1234", "\r\nERROR\r\n", 0, true, O::NotAccepted},
    {"OK after the echo, in the late collection", "1234", "\r\nOK\r\n", 2000, true, O::Accepted},
    {"OK after Transact gave up", "1234", "\r\nOK\r\n", 3200, false, O::Accepted},
    {"OK too late even for the late collection", "1234", "\r\nOK\r\n", 6000, false, O::NoAnswer},
    // The echo of a PIN holding "ok" must not pass for the modem's OK.
    {"echoed 1ok2 rejected", "1ok2", "\r\n+CME ERROR: 16\r\n", 0, true, O::NotAccepted},
    {"echoed okok rejected", "okok", "\r\nERROR\r\n", 0, true, O::NotAccepted},
    {"echoed okok accepted", "okok", "\r\nOK\r\n", 0, true, O::Accepted},
    // Error replies holding the letters "ok" are no acceptance.
    {"error text holding ok", "1234", "\r\n+CME ERROR: SIM broken\r\n", 0, true, O::NotAccepted},
    {"Token ERROR", "1234", "\r\nToken ERROR\r\n", 0, true, O::NotAccepted},
    {"OK joined after an ERROR", "1234", "\r\nERROR\r\nOK", 0, true, O::NotAccepted},
    // Only the echo came back: the modem is there, so a try may be gone.
    {"echo and nothing else", "1234", "", 0, true, O::SentNoAnswer},
    {"echo, the answer after 6.5 s", "1234", "\r\nOK\r\n", 6500, true, O::SentNoAnswer},
    {"silent modem", "1234", "", 0, false, O::NoAnswer},
    {"nothing at first, an error late", "1234", "\r\nERROR\r\n", 3200, false, O::NotAccepted},
    // A SIM that is busy or not ready used up no try: the script may retry.
    {"SIM busy, numeric", "1234", "\r\n+CME ERROR: 14\r\n", 0, true, O::SimNotReady},
    {"SIM busy, verbose", "1234", "\r\n+CME ERROR: SIM busy\r\n", 0, true, O::SimNotReady},
    {"SIM not ready, verbose", "1234", "\r\n+CME ERROR: SIM not ready\r\n", 0, true,
     O::SimNotReady},
    {"SIM busy, late", "1234", "\r\n+CME ERROR: 14\r\n", 3200, false, O::SimNotReady},
    // Other codes that merely begin with 14 are other errors.
    {"error 148 is no busy SIM", "1234", "\r\n+CME ERROR: 148\r\n", 0, true, O::NotAccepted},
    {"wrong PIN is no busy SIM", "1234", "\r\n+CME ERROR: 16\r\n", 0, true, O::NotAccepted},
};

TEST(ConsoleMode, OutcomeAndSignal) {
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    FakePlatform platform;
    platform.Port("com1").modem = Modem(c.answer, c.delay, c.echo);
    EXPECT_EQ(RunConsoleMode(platform, "com1", c.pin), c.outcome);
    EXPECT_EQ(platform.tones, c.outcome == O::Accepted ? kSuccess : kFailure);
    EXPECT_FALSE(platform.Port("com1").isOpen);
  }
}

// Where a service manages the modem, the PIN goes to it and the port stays
// shut; the outcomes are those the serial way gives for the same SIM.
struct ServiceCase {
  const char* what;
  ServiceSimState state;
  ServiceReply reply;
  ConsoleOutcome outcome;
  bool pinSent;
};

const ServiceCase kServiceCases[] = {
    {"accepted", ServiceSimState::PinRequired, ServiceReply::Accepted, O::Accepted, true},
    {"wrong PIN", ServiceSimState::PinRequired, ServiceReply::WrongPassword, O::NotAccepted, true},
    {"caller refused", ServiceSimState::PinRequired, ServiceReply::Refused, O::PortBusy, true},
    // ModemManager had the PIN: it may still pass it on.
    {"no answer", ServiceSimState::PinRequired, ServiceReply::NoAnswer, O::SentNoAnswer, true},
    {"no answer before the PIN", ServiceSimState::PinRequired, ServiceReply::Unreached,
     O::NoAnswer, true},
    {"state not told in time", ServiceSimState::NoAnswer, ServiceReply::Accepted, O::NoAnswer,
     false},
    {"SIM changed meanwhile", ServiceSimState::PinRequired, ServiceReply::WrongState,
     O::NotAccepted, true},
    {"other failure", ServiceSimState::PinRequired, ServiceReply::Failed, O::NotAccepted, true},
    {"waits for the PUK", ServiceSimState::PukRequired, ServiceReply::Accepted, O::NotAccepted,
     false},
    {"already unlocked", ServiceSimState::Unlocked, ServiceReply::Accepted, O::NotAccepted, false},
    {"PIN request off", ServiceSimState::PinRequestOff, ServiceReply::Accepted, O::NotAccepted,
     false},
    {"no SIM", ServiceSimState::NoSim, ServiceReply::Accepted, O::NotAccepted, false},
};

TEST(ConsoleMode, ThroughAManagingService) {
  for (const auto& c : kServiceCases) {
    SCOPED_TRACE(c.what);
    FakePlatform platform;
    testing::FakeModemService service;
    service.modems["com1"] = {c.state, c.reply, {}};
    platform.service = &service;
    EXPECT_EQ(RunConsoleMode(platform, "com1", "12ab"), c.outcome);
    EXPECT_EQ(platform.tones, c.outcome == O::Accepted ? kSuccess : kFailure);
    // Upper-cased, as the serial way's command line sends it.
    EXPECT_EQ(service.modems["com1"].calls,
              c.pinSent ? std::vector<std::string>{"pin 12AB"} : std::vector<std::string>{});
    EXPECT_EQ(platform.Port("com1").opens, 0);
  }
}

TEST(ConsoleMode, ServiceNeitherAskedForAnUnsafePinNorForAnotherPort) {
  FakePlatform platform;
  testing::FakeModemService service;
  service.modems["com2"] = {};
  platform.service = &service;
  EXPECT_EQ(RunConsoleMode(platform, "com2", "12;4"), O::UnsafePin);
  EXPECT_TRUE(service.modems["com2"].calls.empty());
  // A port the service does not manage is opened as ever.
  platform.Port("com1").modem = Modem("\r\nOK\r\n");
  EXPECT_EQ(RunConsoleMode(platform, "com1", "1234"), O::Accepted);
  EXPECT_EQ(platform.Port("com1").opens, 1);
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

TEST(ConsoleMode, NothingWrittenIsNoAnswer) {
  FakePlatform platform;
  platform.Port("com1").writeLimit = 0;
  EXPECT_EQ(RunConsoleMode(platform, "com1", "1234"), O::NoAnswer);
  EXPECT_EQ(platform.tones, kFailure);
  EXPECT_FALSE(platform.Port("com1").isOpen);
}

TEST(ConsoleMode, FailureSignalWithoutTrafficWhenThePortDoesNotOpen) {
  const std::pair<PortOpenResult, ConsoleOutcome> causes[] = {
      {PortOpenResult::NotFound, O::PortNotFound},
      {PortOpenResult::Busy, O::PortBusy},
      {PortOpenResult::Faulty, O::PortFaulty}};
  for (const auto& [cause, outcome] : causes) {
    FakePlatform platform;
    platform.Port("com1").openResult = cause;
    EXPECT_EQ(RunConsoleMode(platform, "com1", "1234"), outcome);
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
                                 "123",  // lengths only a PIN from stdin can have
                                 "12345",
                                 ""};
  for (const char* pin : kUnsafe) {
    SCOPED_TRACE(pin);
    FakePlatform platform;
    platform.Port("com1").modem = Modem("\r\nOK\r\n");
    EXPECT_EQ(RunConsoleMode(platform, "com1", pin), O::UnsafePin);
    EXPECT_EQ(platform.tones, kFailure);
    EXPECT_TRUE(platform.Port("com1").log.empty());
  }
}

TEST(ConsoleMode, ExitStatusOfEveryOutcome) {
  const std::pair<ConsoleOutcome, int> table[] = {
      {O::Accepted, 0},   {O::NotAccepted, 1}, {O::PortNotFound, 3}, {O::PortBusy, 4},
      {O::PortFaulty, 5}, {O::UnsafePin, 6},   {O::NoAnswer, 7},      {O::SimNotReady, 8},
      {O::LastTryKept, 9}};
  for (const auto& [outcome, status] : table) EXPECT_EQ(ExitStatusFor(outcome), status);
}

// The whole start on the fake platform: what the program prints, the exit
// status, the signal, and what happens to the PIN argument.
TEST(SimUnlockApp, StartsEndAsTheyShould) {
  using Args = std::vector<std::string>;
  struct AppCase {
    const char* what;
    std::optional<Args> arguments;  // nothing: Windows, the command line below
    const char* line;
    std::optional<std::string> input;
    int exitCode;
    std::size_t tones;
    const char* out;
    bool usageOnStderr;
    std::vector<std::size_t> hidden;
  } cases[] = {
      {"Windows, accepted", {}, "tessivo COM1 1234", {}, 0, 1, "", false, {}},
      {"Windows, rejected", {}, "tessivo COM1 9999", {}, 1, 2, "", false, {}},
      {"Windows, no such port", {}, "tessivo COM9 1234", {}, 3, 2, "", false, {}},
      {"Windows, --help is the dialog", {}, "tessivo --help", {}, 2, 0, "", true, {}},
      // The stand-in finds no window system, as Linux without a display.
      {"no arguments, no display", Args{"tessivo"}, "", {}, 2, 0, "", true, {}},
      {"five-digit PIN, no display", Args{"tessivo", "COM1", "12345"}, "", {}, 2, 0, "", true, {2}},
      {"help", Args{"tessivo", "--help"}, "", {}, 0, 0, "usage", false, {}},
      {"version", Args{"tessivo", "--version"}, "", {}, 0, 0, "tessivo 1.0.0\n", false, {}},
      {"accepted, PIN hidden", Args{"tessivo", "COM1", "1234"}, "", {}, 0, 1, "", false, {2}},
      {"PIN from input", Args{"tessivo", "COM1", "-"}, "", "1234\r", 0, 1, "", false, {2}},
      {"wrong PIN from input", Args{"tessivo", "COM1", "-"}, "", " 9999 ", 1, 2, "", false, {2}},
      {"no input line", Args{"tessivo", "COM1", "-"}, "", {}, 6, 2, "", false, {2}},
      {"long input line", Args{"tessivo", "COM1", "-"}, "", "12345", 6, 2, "", false, {2}},
      {"unsafe PIN", Args{"tessivo", "COM1", "12;4"}, "", {}, 6, 2, "", false, {2}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakePlatform platform;
    platform.arguments = c.arguments;
    platform.commandLine = c.line;
    platform.inputLine = c.input;
    platform.Port("com1").modem = [](const std::string& line) {
      return Replies{{0, line}, {0, line == "AT+CPIN=1234\r" ? "\r\nOK\r\n" : "\r\nERROR\r\n"}};
    };
    SimUnlockApp app(platform);
    EXPECT_EQ(app.Run(), c.exitCode);
    EXPECT_EQ(platform.tones.size(), c.tones);
    EXPECT_EQ(platform.out, std::string(c.out) == "usage" ? UsageText() : c.out);
    EXPECT_EQ(platform.err, c.usageOnStderr ? UsageText() : "");
    EXPECT_EQ(platform.hiddenArguments, c.hidden);
  }
}

// What a dialog start ends with, for each way the dialog path can end: the
// program that shows the dialog decides the status itself; without a window
// system the usage text; without the dialog program the usage text and the
// package that brings it.
TEST(SimUnlockApp, DialogStartEndsAsTheDialogPath) {
  const struct {
    const char* what;
    DialogPathResult result;
    int exitCode;
    std::string err;
  } cases[] = {
      {"shown", DialogPathResult::Shown, 0, ""},
      {"no window system", DialogPathResult::NoWindowSystem, 2, UsageText()},
      {"dialog program missing", DialogPathResult::NotInstalled, 2,
       UsageText() + "F\xFCr das Fenster fehlt das Paket tessivo-gui (sudo apt install tessivo-gui).\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    StandInDialogPathResult() = c.result;
    FakePlatform platform;
    platform.arguments = std::vector<std::string>{"tessivo", "COM1", "12345"};
    SimUnlockApp app(platform);
    EXPECT_EQ(app.Run(), c.exitCode);
    EXPECT_EQ(platform.out, "");
    EXPECT_EQ(platform.err, c.err);
    EXPECT_TRUE(platform.tones.empty());
  }
  StandInDialogPathResult() = DialogPathResult::NoWindowSystem;
}

// A refused command line: the usage text and one line naming the fault on
// stderr, status 2, no port opened, no tone, every argument after the port
// hidden. An argument that may be a PIN is named by its place only.
TEST(SimUnlockApp, RefusedCommandLines) {
  using Args = std::vector<std::string>;
  const struct {
    Args arguments;
    const char* line;
    std::vector<std::size_t> hidden;
  } cases[] = {
      {{"tessivo", "--dry-run", "COM1", "9999"}, "Unbekannte Option \"--dry-run\"\n", {3}},
      {{"tessivo", "COM1", "1234", "-v"}, "Unbekannte Option \"-v\"\n", {2, 3}},
      {{"tessivo", "COM1", "1234", "--wait", "9"},
       "Optionen stehen vor PORT: \"--wait\"\n",
       {2, 3, 4}},
      {{"tessivo", "--help", "COM1", "1234"}, "\"--help\" steht nur allein\n", {3}},
      {{"tessivo", "x", "COM1", "1234"},
       "Zu viele Argumente (Argument 3): nur PORT und PIN\n",
       {2, 3}},
      {{"tessivo", "--wait", "5", "--wait", "6", "COM1", "1234"},
       "Doppelt angegeben: \"--wait\"\n",
       {6}},
      {{"tessivo", "--wait"}, "Nach \"--wait\" fehlen die Sekunden (1 bis 3600)\n", {}},
      {{"tessivo", "--wait", "9\x1b[2J", "COM1", "1234"},
       "Sekunden f\xFCr \"--wait\": 1 bis 3600, nicht \"9?[2J\"\n",
       {3, 4}},  // no number: taken for the port
      {{"tessivo", "--last-try", "COM1", "1234"},
       "\"--last-try\" nur zusammen mit \"--wait\"\n",
       {3}},
      {{"tessivo", "--wait", "9"}, "PORT und PIN fehlen\n", {}},
      {{"tessivo", "--wait", "9", "COM1"}, "PIN fehlt\n", {}},
      {{"tessivo", "--wait", "9", "LPT1", "1234"}, "Kein Port: \"LPT1\"\n", {4}},
      {{"tessivo", "--wait", "9", "COM1", "12345"},
       "Keine PIN (Argument 4): vier Buchstaben oder Ziffern, oder -\n",
       {4}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.arguments));
    FakePlatform platform;
    platform.arguments = c.arguments;
    SimUnlockApp app(platform);
    EXPECT_EQ(app.Run(), 2);
    EXPECT_EQ(platform.err, UsageText() + c.line);
    EXPECT_EQ(platform.out, "");
    EXPECT_TRUE(platform.tones.empty());
    EXPECT_TRUE(platform.Port("com1").log.empty());
    EXPECT_EQ(platform.hiddenArguments, c.hidden);
  }
}

}  // namespace
}  // namespace tessivo
