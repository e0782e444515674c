// Conversations with the modem, byte for byte, without a pty or a clock.
#include "modem.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace tessivo::modemsim {
namespace {

using namespace std::chrono_literals;

// Sends `line` at `now` and returns everything due by then.
std::string Say(Modem& modem, const std::string& line, Time now = 0us) {
  modem.Receive(line, now);
  return modem.TakeOutput(now);
}

struct Exchange {
  std::string in;
  std::string out;
};

struct Conversation {
  const char* name;
  ModemSettings settings;
  std::vector<Exchange> exchanges;
};

ModemSettings With(void (*change)(ModemSettings&)) {
  ModemSettings s;
  change(s);
  return s;
}

const Conversation kConversations[] = {
    {"EchoFramesLikeARealStick",
     {},
     {{"AT+CPIN?\r", "AT+CPIN?\r\r\n+CPIN: SIM PIN\r\n\r\nOK\r\n"}, {"AT\r", "AT\r\r\nOK\r\n"}}},
    {"CaseAndLineFeedsDoNotMatter",
     {},
     {{"\nat+cpin?\r\n", "at+cpin?\r\r\n+CPIN: SIM PIN\r\n\r\nOK\r\n"}}},
    {"EmptyLinesAreIgnored", {}, {{"\r", ""}, {"  \r\n", ""}, {"AT\r", "AT\r\r\nOK\r\n"}}},
    {"EchoOffAndBack",
     {},
     {{"ATE0\r", "ATE0\r\r\nOK\r\n"},
      {"AT\r", "\r\nOK\r\n"},
      {"ATE1\r", "\r\nOK\r\n"},
      {"AT\r", "AT\r\r\nOK\r\n"}}},
    {"ResetRestoresTheCommandLineModes",
     With([](ModemSettings& s) { s.echo = false, s.cmee = 1; }),
     {{"ATE1\r", "\r\nOK\r\n"},
      {"AT+CMEE=2\r", "AT+CMEE=2\r\r\nOK\r\n"},
      {"ATZ\r", "ATZ\r\r\nOK\r\n"},
      {"AT+CPIN=0000\r", "\r\n+CME ERROR: 16\r\n"}}},
    {"ErrorModes",
     {},
     {{"AT+CPIN=0000\r", "AT+CPIN=0000\r\r\nERROR\r\n"},
      {"AT+CMEE=1;+CPIN=0000\r", "AT+CMEE=1;+CPIN=0000\r\r\n+CME ERROR: 16\r\n"},
      {"AT+CMEE=2\r", "AT+CMEE=2\r\r\nOK\r\n"},
      {"AT+CMEE?\r", "AT+CMEE?\r\r\n+CMEE: 2\r\n\r\nOK\r\n"},
      {"AT+CPIN=0000\r", "AT+CPIN=0000\r\r\n+CME ERROR: incorrect password\r\n"}}},
    {"UnknownCommandsArePlainErrorsInEveryMode",
     With([](ModemSettings& s) { s.echo = false, s.cmee = 2; }),
     {{"AT+FOO\r", "\r\nERROR\r\n"},
      {"ATI\r", "\r\nERROR\r\n"},
      {"hello\r", "\r\nERROR\r\n"},
      {"AT+CPIN=\"12\r", "\r\nERROR\r\n"},
      {"AT+CMEE=3\r", "\r\nERROR\r\n"}}},
    {"QuotedOrBarePin",
     With([](ModemSettings& s) { s.echo = false; }),
     {{"AT+CPIN=\"1234\"\r", "\r\nOK\r\n"},
      {"AT+CPIN?\r", "\r\n+CPIN: READY\r\n\r\nOK\r\n"},
      {"AT+CPIN=1234\r", "\r\nERROR\r\n"}}},
    {"ThreeWrongPinsWantThePuk",
     With([](ModemSettings& s) { s.echo = false, s.cmee = 1; }),
     {{"AT+CPIN=1111\r", "\r\n+CME ERROR: 16\r\n"},
      {"AT+CLCK=\"SC\",1,\"1111\"\r", "\r\n+CME ERROR: 16\r\n"},
      {"AT+CPINR\r", "\r\n+CPINR: SIM PIN,1,3\r\n\r\n+CPINR: SIM PUK,10,10\r\n\r\nOK\r\n"},
      {"AT+CPIN=1111\r", "\r\n+CME ERROR: 16\r\n"},
      {"AT+CPIN?\r", "\r\n+CPIN: SIM PUK\r\n\r\nOK\r\n"},
      {"AT+CPIN=1234\r", "\r\n+CME ERROR: 12\r\n"},
      {"AT+CLCK=\"SC\",0,\"1234\"\r", "\r\n+CME ERROR: 12\r\n"},
      {"AT+CPIN=12345678,98\r", "\r\nERROR\r\n"},
      {"ATCPINR=\"SIM PIN\"\r", "\r\n+CPINR: SIM PIN,0,3\r\n\r\nOK\r\n"},
      {"AT+CPIN=\"12345678\",\"4321\"\r", "\r\nOK\r\n"},
      {"AT+CPINR=\"SIM*\"\r", "\r\n+CPINR: SIM PIN,3,3\r\n\r\n+CPINR: SIM PUK,10,10\r\n\r\nOK\r\n"},
      {"AT+CLCK=\"SC\",0,\"1234\"\r", "\r\n+CME ERROR: 16\r\n"},
      {"AT+CLCK=\"SC\",0,\"4321\"\r", "\r\nOK\r\n"}}},
    {"LockQueryAndSwitch",
     With([](ModemSettings& s) { s.echo = false, s.cmee = 1; }),
     {{"AT+CLCK=\"sc\",2\r", "\r\n+CLCK: 1\r\n\r\nOK\r\n"},
      {"AT+CLCK=\"SC\",0\r", "\r\nERROR\r\n"},
      {"AT+CLCK=\"PN\",2\r", "\r\n+CME ERROR: 4\r\n"},
      {"AT+CLCK=\"SC\",0,\"1234\"\r", "\r\nOK\r\n"},
      {"AT+CPIN?\r", "\r\n+CPIN: READY\r\n\r\nOK\r\n"},
      {"AT+CLCK=\"SC\",2\r", "\r\n+CLCK: 0\r\n\r\nOK\r\n"},
      {"AT+CLCK=\"SC\",1,\"1234\"\r", "\r\nOK\r\n"},
      {"AT+CLCK=\"SC\",2\r", "\r\n+CLCK: 1\r\n\r\nOK\r\n"}}},
    {"NoSim",
     With([](ModemSettings& s) { s.echo = false, s.cmee = 2, s.state = SimState::kAbsent; }),
     {{"AT\r", "\r\nOK\r\n"},
      {"AT+CPIN?\r", "\r\n+CME ERROR: SIM not inserted\r\n"},
      {"AT+CPIN=1234\r", "\r\n+CME ERROR: SIM not inserted\r\n"},
      {"AT+CLCK=\"SC\",2\r", "\r\n+CME ERROR: SIM not inserted\r\n"}}},
    {"LockOffStartsReady",
     With([](ModemSettings& s) { s.echo = false, s.lock = false; }),
     {{"AT+CPIN?\r", "\r\n+CPIN: READY\r\n\r\nOK\r\n"},
      {"AT+CLCK=\"SC\",2\r", "\r\n+CLCK: 0\r\n\r\nOK\r\n"}}},
    {"LockOffDoesNotHelpACardThatWantsItsPuk",
     With([](ModemSettings& s) { s.echo = false, s.lock = false, s.state = SimState::kWaitPuk; }),
     {{"AT+CPIN?\r", "\r\n+CPIN: SIM PUK\r\n\r\nOK\r\n"}}},
    {"ReadyCardRefusesAPin",
     With([](ModemSettings& s) { s.cmee = 1, s.state = SimState::kReady; }),
     {{"AT+CPIN=1234\r", "AT+CPIN=1234\r\r\n+CME ERROR: 3\r\n"}}},
    {"SilentAnswersNothingAndChangesNothing",
     With([](ModemSettings& s) { s.silent = true; }),
     {{"AT+CPIN=1111\r", ""}, {"AT+CPIN=1111\r", ""}, {"AT+CPIN=1111\r", ""}}},
};

// Test names only, not a byte dump of the settings.
void PrintTo(const Conversation& c, std::ostream* os) {
  *os << c.name;
}

class ConversationTest : public testing::TestWithParam<Conversation> {};

TEST_P(ConversationTest, RepliesByteForByte) {
  Modem modem(GetParam().settings);
  for (const Exchange& e : GetParam().exchanges) {
    EXPECT_EQ(Say(modem, e.in), e.out) << "after sending " << testing::PrintToString(e.in);
  }
}

INSTANTIATE_TEST_SUITE_P(Modem, ConversationTest, testing::ValuesIn(kConversations),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ModemTest, TenWrongPuksKillTheCard) {
  ModemSettings settings;
  settings.echo = false;
  settings.cmee = 1;
  settings.state = SimState::kWaitPuk;
  Modem modem(settings);
  for (int i = 0; i < 9; ++i) ASSERT_EQ(Say(modem, "AT+CPIN=1,1111\r"), "\r\n+CME ERROR: 16\r\n");
  EXPECT_EQ(Say(modem, "AT+CPINR\r"),
            "\r\n+CPINR: SIM PIN,0,3\r\n\r\n+CPINR: SIM PUK,1,10\r\n\r\nOK\r\n");
  EXPECT_EQ(Say(modem, "AT+CPIN=1,1111\r"), "\r\n+CME ERROR: 16\r\n");
  // Not even the right PUK helps now.
  EXPECT_EQ(Say(modem, "AT+CPIN=12345678,1111\r"), "\r\n+CME ERROR: 13\r\n");
  EXPECT_EQ(Say(modem, "AT+CPIN?\r"), "\r\n+CME ERROR: 13\r\n");
}

TEST(ModemTest, CommandSplitAcrossReadsIsOneLine) {
  Modem modem({});
  EXPECT_EQ(Say(modem, "AT+CP"), "");
  EXPECT_EQ(Say(modem, "IN?"), "");
  EXPECT_EQ(Say(modem, "\rAT\r"), "AT+CPIN?\r\r\n+CPIN: SIM PIN\r\n\r\nOK\r\nAT\r\r\nOK\r\n");
}

TEST(ModemTest, NoticesTellAWatcherWhatChanged) {
  ModemSettings settings;
  settings.pin = "4444";
  Modem modem(settings);
  Say(modem, "AT+CPIN=1111\rAT+CPIN=2222\rAT+CPIN=3333\r");
  Say(modem, "AT+CPIN=12345678,5555\rAT+CLCK=\"SC\",0,\"5555\"\r");
  EXPECT_EQ(modem.TakeNotices(),
            (std::vector<std::string>{"wrong PIN: 2 attempts left", "wrong PIN: 1 attempt left",
                                      "wrong PIN: 0 attempts left", "SIM blocked: PUK required",
                                      "PUK accepted: PIN changed to 5555, SIM unlocked",
                                      "PIN request switched off"}));
  EXPECT_TRUE(modem.TakeNotices().empty());
}

// Timing: what goes out when.

TEST(ModemTimingTest, ReplyDelayHoldsBackTheEchoToo) {
  ModemSettings settings;
  settings.replyDelay = 50ms;
  Modem modem(settings);
  EXPECT_EQ(Say(modem, "AT\r", 10ms), "");
  EXPECT_EQ(modem.NextWakeup(), Time(60ms));
  EXPECT_EQ(modem.TakeOutput(59ms), "");
  EXPECT_EQ(modem.TakeOutput(60ms), "AT\r\r\nOK\r\n");
  EXPECT_EQ(modem.NextWakeup(), std::nullopt);
}

TEST(ModemTimingTest, LateFinalComesAfterTheEchoOnlyForPasswords) {
  ModemSettings settings;
  settings.lateFinal = 200ms;
  Modem modem(settings);
  EXPECT_EQ(Say(modem, "AT+CPIN?\r", 0ms), "AT+CPIN?\r\r\n+CPIN: SIM PIN\r\n\r\nOK\r\n");
  EXPECT_EQ(Say(modem, "AT+CPIN=9999\r", 100ms), "AT+CPIN=9999\r");
  EXPECT_EQ(modem.TakeOutput(299ms), "");
  EXPECT_EQ(modem.TakeOutput(300ms), "\r\nERROR\r\n");
  EXPECT_EQ(Say(modem, "AT+CLCK=\"SC\",2\r", 400ms),
            "AT+CLCK=\"SC\",2\r\r\n+CLCK: 1\r\n\r\nOK\r\n");
  EXPECT_EQ(Say(modem, "AT+CLCK=\"SC\",0,\"1234\"\r", 500ms), "AT+CLCK=\"SC\",0,\"1234\"\r");
  EXPECT_EQ(modem.TakeOutput(700ms), "\r\nOK\r\n");
}

TEST(ModemTimingTest, LaterRepliesWaitBehindALateFinal) {
  ModemSettings settings;
  settings.lateFinal = 200ms;
  settings.echo = false;
  Modem modem(settings);
  Say(modem, "AT+CPIN=1234\r", 0ms);
  EXPECT_EQ(Say(modem, "AT\r", 10ms), "");
  EXPECT_EQ(modem.TakeOutput(200ms), "\r\nOK\r\n\r\nOK\r\n");
}

TEST(ModemTimingTest, TrickleSendsOneByteAtATime) {
  ModemSettings settings;
  settings.trickle = 10ms;
  settings.echo = false;
  Modem modem(settings);
  EXPECT_EQ(Say(modem, "AT\r", 0ms), "\r");
  std::string rest;
  Time t = 0ms;
  while (auto wake = modem.NextWakeup()) {
    EXPECT_EQ(*wake, t + 10ms);
    EXPECT_EQ(modem.TakeOutput(*wake - 1us), "");
    t = *wake;
    std::string byte = modem.TakeOutput(t);
    ASSERT_EQ(byte.size(), 1u);
    rest += byte;
  }
  EXPECT_EQ(rest, "\nOK\r\n");
}

TEST(ModemTimingTest, NoiseNeverSplitsAReplyButMayFillTheLateFinalGap) {
  ModemSettings settings;
  settings.noise = 100ms;
  settings.trickle = 1ms;
  settings.lateFinal = 300ms;
  Modem modem(settings);
  modem.Receive("AT+CPIN=1234\r", 95ms);
  std::string wire;
  for (Time t = 95ms; t <= 450ms; t += 1ms) wire += modem.TakeOutput(t);
  EXPECT_EQ(wire,
            "AT+CPIN=1234\r"
            "\r\n^RSSI:17\r\n"
            "\r\n^RSSI:17\r\n"
            "\r\n^RSSI:17\r\n"
            "\r\nOK\r\n"
            "\r\n^RSSI:17\r\n");
}

TEST(ModemTimingTest, SimBusyAfterUnlockUntilTheWindowEnds) {
  ModemSettings settings;
  settings.simBusy = 500ms;
  settings.lateFinal = 100ms;
  settings.echo = false;
  settings.cmee = 1;
  Modem modem(settings);
  EXPECT_EQ(Say(modem, "AT+CPIN?\r", 0ms), "\r\n+CPIN: SIM PIN\r\n\r\nOK\r\n");
  Say(modem, "AT+CPIN=1234\r", 0ms);
  EXPECT_EQ(modem.TakeOutput(100ms), "\r\nOK\r\n");
  // Busy from the OK on, not from the command.
  EXPECT_EQ(Say(modem, "AT+CPIN?\r", 599ms), "\r\n+CME ERROR: 14\r\n");
  EXPECT_EQ(Say(modem, "AT+CLCK=\"SC\",2\r", 599ms), "\r\n+CME ERROR: 14\r\n");
  EXPECT_EQ(Say(modem, "AT+CPIN?\r", 600ms), "\r\n+CPIN: READY\r\n\r\nOK\r\n");
}

TEST(ModemTimingTest, DroppedOutputNeverReachesTheNextClient) {
  ModemSettings settings;
  settings.lateFinal = 100ms;
  Modem modem(settings);
  EXPECT_EQ(Say(modem, "AT+CPIN=1234\r", 0ms), "AT+CPIN=1234\r");
  modem.DropOutput();
  EXPECT_EQ(modem.TakeOutput(1s), "");
  EXPECT_EQ(modem.sim().state(), SimState::kReady);
}

}  // namespace
}  // namespace tessivo::modemsim
