// The command line of the sim, AT command lines, and the transcript format.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "at_command.h"
#include "options.h"
#include "transcript.h"

namespace tessivo::modemsim {
namespace {

using namespace std::chrono_literals;

// One command as "NAME form value|arg|arg", to compare whole lines at once.
std::string Show(const std::optional<std::vector<AtCommand>>& cmds) {
  if (!cmds) return "invalid";
  std::string out;
  for (const AtCommand& c : *cmds) {
    static const char* const kForms[] = {"do", "read", "test", "set"};
    if (!out.empty()) out += " ; ";
    out += c.name + " " + kForms[static_cast<int>(c.form)];
    if (!c.value.empty()) out += " " + c.value;
    for (const std::string& a : c.args) out += "|" + a;
  }
  return out;
}

TEST(AtCommandTest, SplitsLinesIntoCommands) {
  const std::pair<const char*, const char*> kCases[] = {
      {"AT", ""},
      {"at", ""},
      {"ATE0", "E do 0"},
      {"ATE", "E do"},
      {"ATZ E1", "Z do ; E do 1"},
      {"at+cpin?", "+CPIN read"},
      {"AT+CPIN=?", "+CPIN test"},
      {"AT+CPIN=\"1234\"", "+CPIN set|1234"},
      {"AT+CPIN=12345678,\"1234\"", "+CPIN set|12345678|1234"},
      {"AT + CPIN = 1234", "+CPIN set|1234"},
      {"AT+CLCK=\"sc\",2", "+CLCK set|sc|2"},
      {"AT+CPINR=\"sim pin\"", "+CPINR set|sim pin"},
      {"ATCPINR", "+CPINR do"},
      {"AT+CMEE=", "+CMEE set"},
      {"AT+CPIN=\"1;2\";+CPIN?", "+CPIN set|1;2 ; +CPIN read"},
      {"AT+CLCK=\"SC\",,\"1\"", "+CLCK set|SC||1"},
      {"AT&F", "&F do"},
      {"ATS3?S4=10", "S read 3 ; S set 4|10"},
      {"ATS5=", "S set 5|"},
      {"ATS?", "invalid"},
      {"ATS=3", "invalid"},
      {"", "invalid"},
      {"A", "invalid"},
      {"TA", "invalid"},
      {"AT+CPIN=\"1234", "invalid"},
      {"AT+CPIN=\"12\"34", "invalid"},
      {"AT+CPIN=12\"34\"", "invalid"},
      {"AT+CPIN?X", "invalid"},
      {"AT+", "invalid"},
      {"AT#", "invalid"},
  };
  for (const auto& [line, expected] : kCases) {
    EXPECT_EQ(Show(ParseCommandLine(line)), expected) << line;
  }
}

ParsedOptions Parse(std::vector<std::string> args) {
  return ParseOptions(args);
}

TEST(OptionsTest, ReadsEveryOption) {
  ParsedOptions p =
      Parse({"--link=/x",     "--state", "puk",          "--pin", "87654321",  "--puk=11112222",
             "--lock",        "off",     "--echo",       "off",   "--cmee",    "2",
             "--reply-delay", "5",       "--late-final", "6",     "--trickle", "7",
             "--noise",       "8",       "--sim-busy",   "9",     "--silent",  "--transcript",
             "t.log"});
  ASSERT_EQ(p.error, "");
  const ModemSettings& m = p.options.modem;
  EXPECT_EQ(m.state, SimState::kWaitPuk);
  EXPECT_EQ(m.pin, "87654321");
  EXPECT_EQ(m.puk, "11112222");
  EXPECT_FALSE(m.lock);
  EXPECT_FALSE(m.echo);
  EXPECT_EQ(m.cmee, 2);
  EXPECT_EQ(m.replyDelay, 5ms);
  EXPECT_EQ(m.lateFinal, 6ms);
  EXPECT_EQ(m.trickle, 7ms);
  EXPECT_EQ(m.noise, 8ms);
  EXPECT_EQ(m.simBusy, 9ms);
  EXPECT_TRUE(m.silent);
  EXPECT_EQ(p.options.transcript, "t.log");
  EXPECT_EQ(p.options.link, "/x");

  EXPECT_EQ(Parse({"--state", "nosim", "--link", "l"}).options.modem.state, SimState::kAbsent);
  EXPECT_EQ(Parse({"--state", "ready", "--link", "l"}).options.modem.state, SimState::kReady);
  EXPECT_TRUE(Parse({"--help"}).options.help);
  const ModemSettings starting =
      Parse({"--link", "l", "--pin-tries", "2", "--busy-at-start", "10", "--mute-at-start=11"})
          .options.modem;
  EXPECT_EQ(starting.pinTries, 2);
  EXPECT_EQ(starting.busyAtStart, 10ms);
  EXPECT_EQ(starting.muteAtStart, 11ms);
  EXPECT_EQ(Parse({"--link", "l"}).options.modem.pinTries, 3);
  EXPECT_TRUE(Parse({"--link", "l"}).options.modem.clckBeforePin);
  EXPECT_FALSE(Parse({"--link", "l", "--clck-before-pin=refuse"}).options.modem.clckBeforePin);

  const ParsedOptions hostile = Parse({"--link",
                                       "l",
                                       "--answer-delay",
                                       "at+cpinr=2000",
                                       "--answer-delay=AT+CPIN?=5",
                                       "--unsolicited-before",
                                       "AT+CPIN=+CPIN: READY",
                                       "--unsolicited-at",
                                       "100=^SIMST: 1",
                                       "--split",
                                       "AT+CPIN?=16:300",
                                       "--chaos",
                                       "42",
                                       "--puk-tries",
                                       "1",
                                       "--ready-after-puk",
                                       "9",
                                       "--tries-dialect",
                                       "huawei",
                                       "--pin-unanswered",
                                       "--record",
                                       "r.log"});
  ASSERT_EQ(hostile.error, "");
  const ModemSettings& h = hostile.options.modem;
  ASSERT_EQ(h.answerDelays.size(), 2u);
  EXPECT_EQ(h.answerDelays[0].prefix, "AT+CPINR");
  EXPECT_EQ(h.answerDelays[1].prefix + std::to_string(h.answerDelays[1].delay.count()),
            "AT+CPIN?5");
  ASSERT_EQ(h.unsolicitedBefore.size(), 1u);
  EXPECT_EQ(h.unsolicitedBefore[0].prefix + "|" + h.unsolicitedBefore[0].line,
            "AT+CPIN|+CPIN: READY");
  ASSERT_EQ(h.unsolicitedAt.size(), 1u);
  EXPECT_EQ(h.unsolicitedAt[0].at, 100ms);
  ASSERT_EQ(h.splits.size(), 1u);
  EXPECT_EQ(h.splits[0].byte, 16u);
  EXPECT_EQ(h.splits[0].pause, 300ms);
  EXPECT_EQ(h.chaos, 42u);
  EXPECT_EQ(h.pukTries, 1);
  EXPECT_EQ(h.readyAfterPuk, 9ms);
  EXPECT_EQ(h.dialect, TriesDialect::kHuawei);
  EXPECT_TRUE(h.pinUnanswered);
  EXPECT_EQ(hostile.options.record, "r.log");
}

TEST(OptionsTest, RejectsBadCommandLines) {
  const std::vector<std::vector<std::string>> kBad = {
      {},
      {"--state", "pin"},
      {"--link"},
      {"--link", ""},
      {"--link", "l", "extra"},
      {"--link", "l", "--bogus"},
      {"--link", "l", "--state", "blocked"},
      {"--link", "l", "--pin", "12"},
      {"--link", "l", "--pin", "12a4"},
      {"--link", "l", "--puk", "x"},
      {"--link", "l", "--lock", "yes"},
      {"--link", "l", "--echo", "1"},
      {"--link", "l", "--cmee", "3"},
      {"--link", "l", "--reply-delay", "-1"},
      {"--link", "l", "--noise", "1.5"},
      {"--link", "l", "--trickle", "999999999"},
      {"--link", "l", "--silent=yes"},
      {"--link", "l", "--sim-busy"},
      {"--link", "l", "--clck-before-pin", "no"},
      {"--link", "l", "--pin-tries", "0"},
      {"--link", "l", "--pin-tries", "4"},
      {"--link", "l", "--pin-tries", "12"},
      {"--link", "l", "--busy-at-start", "x"},
      {"--link", "l", "--mute-at-start"},
      {"--link", "l", "--answer-delay", "AT+CPIN"},
      {"--link", "l", "--answer-delay", "=5"},
      {"--link", "l", "--unsolicited-before", "AT+CPIN?="},
      {"--link", "l", "--unsolicited-at", "x=RING"},
      {"--link", "l", "--split", "AT+CPIN?=16"},
      {"--link", "l", "--split", "AT+CPIN?=x:5"},
      {"--link", "l", "--chaos", "-1"},
      {"--link", "l", "--puk-tries", "0"},
      {"--link", "l", "--puk-tries", "11"},
      {"--link", "l", "--tries-dialect", "sierra"},
      {"--link", "l", "--pin-unanswered=1"},
      {"--link", "l", "--record", ""},
  };
  for (const auto& args : kBad) {
    EXPECT_NE(Parse(args).error, "") << testing::PrintToString(args);
  }
}

TEST(TranscriptTest, EscapesEveryByteUnambiguously) {
  EXPECT_EQ(EscapeBytes("AT+CPIN=\"1234\"\r\n"), "AT+CPIN=\"1234\"\\r\\n");
  EXPECT_EQ(EscapeBytes("a\\b"), "a\\\\b");
  EXPECT_EQ(EscapeBytes(" ~"), " ~");
  EXPECT_EQ(EscapeBytes(std::string("\0\t\x1a\x7f\x80\xff", 6)), "\\x00\\x09\\x1a\\x7f\\x80\\xff");
  EXPECT_EQ(TranscriptLine(Time(1234567), "IN", "AT\r"), "1234.567 IN AT\\r");
  EXPECT_EQ(TranscriptLine(Time(5), "OUT", "\n"), "0.005 OUT \\n");
}

}  // namespace
}  // namespace tessivo::modemsim
