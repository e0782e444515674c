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
    // Echo is of every byte as it comes, line feeds included.
    {"CaseAndLineFeedsDoNotMatter",
     {},
     {{"\nat+cpin?\r\n", "\nat+cpin?\r\r\n+CPIN: SIM PIN\r\n\r\nOK\r\n\n"}}},
    {"EmptyLinesAreIgnored", {}, {{"\r", "\r"}, {"  \r\n", "  \r\n"}, {"AT\r", "AT\r\r\nOK\r\n"}}},
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
      {"ATI7\r", "\r\nERROR\r\n"},
      {"ATX1\r", "\r\nERROR\r\n"},
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
    // What ModemManager asks to learn the tries left: VERIFY and UNBLOCK
    // without data, for the PIN, the PUK and the second PIN the card lacks.
    {"TriesLeftThroughGenericSimAccess",
     With([](ModemSettings& s) { s.echo = false, s.cmee = 1; }),
     {{"AT+CSIM=10,\"0020000100\"\r", "\r\n+CSIM: 4,\"63C3\"\r\n\r\nOK\r\n"},
      {"AT+CPIN=1111\r", "\r\n+CME ERROR: 16\r\n"},
      {"AT+CSIM=10,\"0020000100\"\r", "\r\n+CSIM: 4,\"63C2\"\r\n\r\nOK\r\n"},
      {"AT+CSIM=10,\"002c000100\"\r", "\r\n+CSIM: 4,\"63CA\"\r\n\r\nOK\r\n"},
      {"AT+CSIM=10,\"0020008100\"\r", "\r\n+CSIM: 4,\"6A88\"\r\n\r\nOK\r\n"},
      {"AT+CSIM=10,\"00B0000000\"\r", "\r\n+CSIM: 4,\"6D00\"\r\n\r\nOK\r\n"},
      // The length must be the command's, in hex digits.
      {"AT+CSIM=8,\"0020000100\"\r", "\r\nERROR\r\n"},
      {"AT+CSIM=3,\"002\"\r", "\r\nERROR\r\n"},
      {"AT+CSIM=10,\"00200001XY\"\r", "\r\nERROR\r\n"},
      {"AT+CPIN=1111\r", "\r\n+CME ERROR: 16\r\n"},
      {"AT+CPIN=1111\r", "\r\n+CME ERROR: 16\r\n"},
      {"AT+CSIM=10,\"0020000100\"\r", "\r\n+CSIM: 4,\"63C0\"\r\n\r\nOK\r\n"}}},
    {"LockQueryAndSwitch",
     With([](ModemSettings& s) { s.echo = false, s.cmee = 1; }),
     {{"AT+CLCK=\"sc\",2\r", "\r\n+CLCK: 1\r\n\r\nOK\r\n"},
      {"AT+CLCK=\"SC\",0\r", "\r\n+CME ERROR: 16\r\n"},
      {"AT+CLCK=\"SC\",0,\"\"\r", "\r\n+CME ERROR: 16\r\n"},
      {"AT+CLCK=\"PS\",2\r", "\r\n+CME ERROR: 4\r\n"},
      {"AT+CLCK=\"PN\",2\r", "\r\n+CLCK: 0\r\n\r\nOK\r\n"},
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

    // Line handling as V.250 has it.
    {"TextBeforeAtIsIgnored",
     {},
     {{"xyzAT\r", "xyzAT\r\r\nOK\r\n"},
      {"garbage at+cpin?\r", "garbage at+cpin?\r\r\n+CPIN: SIM PIN\r\n\r\nOK\r\n"}}},
    // Among them a reply a terminal sent back: no ERROR to start a loop.
    {"LinesWithoutAtGetNoAnswer",
     {},
     {{"hello\r", "hello\r"}, {"\r\nERROR\r\n", "\r\nERROR\r\n"}, {"OK\r", "OK\r"}}},
    {"BackspaceTakesBackACharacter",
     {},
     {{"AT+CPIX\bN?\r", "AT+CPIX\bN?\r\r\n+CPIN: SIM PIN\r\n\r\nOK\r\n"},
      {"ATX\b\b\b\r", "ATX\b\b\b\r"},
      {"\bAT\r", "\bAT\r\r\nOK\r\n"}}},
    // gsmctl puts a NUL before the carriage return.
    {"ControlCharactersAreNoPartOfACommand",
     With([](ModemSettings& s) { s.echo = false; }),
     {{std::string("AT+C\0PIN?\x01\r", 12), "\r\n+CPIN: SIM PIN\r\n\r\nOK\r\n"}}},
    {"SlashRepeatsTheLastLineAtOnce",
     With([](ModemSettings& s) { s.cmee = 1; }),
     {{"A/", "A/\r\nOK\r\n"},
      {"AT+CPIN=1111\r", "AT+CPIN=1111\r\r\n+CME ERROR: 16\r\n"},
      {"a/", "a/\r\n+CME ERROR: 16\r\n"},
      {"AT+CPINR=\"SIM PIN\"\r", "AT+CPINR=\"SIM PIN\"\r\r\n+CPINR: SIM PIN,1,3\r\n\r\nOK\r\n"},
      {"xA/", "xA/\r\n+CPINR: SIM PIN,1,3\r\n\r\nOK\r\n"},
      {"AT+CPIN=\"A/\"\r", "AT+CPIN=\"A/\"\r\r\n+CME ERROR: 16\r\n"}}},
    {"NumericResultCodes",
     With([](ModemSettings& s) { s.echo = false; }),
     {{"ATV0\r", "0\r"},
      {"AT+CSQ\r", "+CSQ: 17,99\r\n0\r"},
      {"AT+FOO\r", "4\r"},
      {"AT+CMEE=1;+CPIN=0000\r", "+CME ERROR: 16\r"},
      {"ATV1\r", "\r\nOK\r\n"}}},
    {"QuietDropsOnlyTheResultCodes",
     With([](ModemSettings& s) { s.echo = false; }),
     {{"ATQ1\r", ""},
      {"AT+CSQ\r", "\r\n+CSQ: 17,99\r\n"},
      {"AT+FOO\r", ""},
      {"ATQ0\r", "\r\nOK\r\n"}}},
    {"SParametersFrameTheLines",
     With([](ModemSettings& s) { s.echo = false; }),
     {{"ATS3?S4?;S5?\r", "\r\n013\r\n\r\n010\r\n\r\n008\r\n\r\nOK\r\n"},
      {"ATS0?\r", "\r\n000\r\n\r\nOK\r\n"},
      {"ATS3=200\r", "\r\nERROR\r\n"},
      {"ATS7?\r", "\r\nERROR\r\n"},
      {"ATS3=64\r", "@\nOK@\n"},
      // A carriage return is no end of line now.
      {"AT+CSQ\r", ""},
      {"@", "@\n+CSQ: 17,99@\n@\nOK@\n"},
      {"ATS3=13@", "\r\nOK\r\n"}}},
    {"FactoryDefaultsRestoreTheLineModes",
     With([](ModemSettings& s) { s.echo = false, s.cmee = 2; }),
     {{"ATE1V0Q0S4=0S5=9+CMEE=1\r", "0\r"},
      {"AT&F\r", "AT&F\r\r\nOK\r\n"},
      {"AT+CPIN=0000\r", "\r\n+CME ERROR: incorrect password\r\n"}}},

    // The SIM.
    {"CpwdChangesThePinAndCountsTries",
     With([](ModemSettings& s) { s.echo = false, s.cmee = 1, s.state = SimState::kReady; }),
     {{"AT+CPWD=\"SC\",\"1234\",\"4321\"\r", "\r\nOK\r\n"},
      {"AT+CPWD=\"SC\",\"1234\",\"1111\"\r", "\r\n+CME ERROR: 16\r\n"},
      {"AT+CPWD=\"SC\",\"4321\",\"12\"\r", "\r\nERROR\r\n"},
      {"AT+CPWD=\"SC\",\"\",\"1111\"\r", "\r\n+CME ERROR: 16\r\n"},
      {"AT+CPINR=\"SIM PIN\"\r", "\r\n+CPINR: SIM PIN,2,3\r\n\r\nOK\r\n"},
      {"AT+CLCK=\"SC\",0,\"4321\"\r", "\r\nOK\r\n"},
      {"AT+CPWD=\"SC\",\"4321\",\"5555\"\r", "\r\n+CME ERROR: 3\r\n"},
      {"AT+CLCK=\"SC\",1,\"4321\"\r", "\r\nOK\r\n"},
      {"AT+CPWD=\"P2\",\"4321\",\"5555\"\r", "\r\n+CME ERROR: 4\r\n"},
      {"AT+CPWD=\"SC\",\"0000\",\"5555\"\r", "\r\n+CME ERROR: 16\r\n"},
      {"AT+CPWD=\"SC\",\"0000\",\"5555\"\r", "\r\n+CME ERROR: 16\r\n"},
      {"AT+CPWD=\"SC\",\"0000\",\"5555\"\r", "\r\n+CME ERROR: 16\r\n"},
      {"AT+CPIN?\r", "\r\n+CPIN: SIM PUK\r\n\r\nOK\r\n"},
      {"AT+CPWD=\"SC\",\"4321\",\"5555\"\r", "\r\n+CME ERROR: 12\r\n"}}},
    {"LockCommandsRefusedBeforeThePin",
     With([](ModemSettings& s) { s.echo = false, s.cmee = 2, s.clckBeforePin = false; }),
     {{"AT+CLCK=\"SC\",2\r", "\r\n+CME ERROR: SIM PIN required\r\n"},
      {"AT+CLCK=\"SC\",0,\"1234\"\r", "\r\n+CME ERROR: SIM PIN required\r\n"},
      {"AT+CPINR=\"SIM PIN\"\r", "\r\n+CPINR: SIM PIN,3,3\r\n\r\nOK\r\n"},
      {"AT+CPIN=1234\r", "\r\nOK\r\n"},
      {"AT+CLCK=\"SC\",2\r", "\r\n+CLCK: 1\r\n\r\nOK\r\n"}}},
    {"LockCommandsAcceptedBeforeThePin",
     With([](ModemSettings& s) { s.echo = false, s.cmee = 2; }),
     {{"AT+CLCK=\"SC\",2\r", "\r\n+CLCK: 1\r\n\r\nOK\r\n"},
      {"AT+CLCK=\"SC\",0,\"1234\"\r", "\r\nOK\r\n"},
      {"AT+CPIN?\r", "\r\n+CPIN: READY\r\n\r\nOK\r\n"}}},
    {"PukResetsBothCountsAndSwitchesTheRequestOn",
     With([](ModemSettings& s) {
       s.echo = false, s.cmee = 1, s.lock = false, s.state = SimState::kWaitPuk;
     }),
     {{"AT+CPIN=\"11111111\",\"4321\"\r", "\r\n+CME ERROR: 16\r\n"},
      {"AT+CPINR=\"SIM PUK\"\r", "\r\n+CPINR: SIM PUK,9,10\r\n\r\nOK\r\n"},
      {"AT+CPIN=12345678,4321\r", "\r\nOK\r\n"},
      {"AT+CPINR\r", "\r\n+CPINR: SIM PIN,3,3\r\n\r\n+CPINR: SIM PUK,10,10\r\n\r\nOK\r\n"},
      {"AT+CLCK=\"SC\",2\r", "\r\n+CLCK: 1\r\n\r\nOK\r\n"}}},
    {"LastPukTryKillsTheCard",
     With([](ModemSettings& s) {
       s.echo = false, s.cmee = 2, s.state = SimState::kWaitPuk, s.pukTries = 2;
     }),
     {{"AT+CPINR=\"SIM PUK\"\r", "\r\n+CPINR: SIM PUK,2,10\r\n\r\nOK\r\n"},
      {"AT+CPIN=\"11111111\",\"4321\"\r", "\r\n+CME ERROR: incorrect password\r\n"},
      {"AT+CPIN=11111111,4321\r", "\r\n+CME ERROR: incorrect password\r\n"},
      {"AT+CPIN?\r", "\r\n+CME ERROR: SIM failure\r\n"},
      {"AT+CPIN=\"12345678\",\"4321\"\r", "\r\n+CME ERROR: SIM failure\r\n"},
      {"AT+CMEE=1;+CLCK=\"SC\",0,\"1234\"\r", "\r\n+CME ERROR: 13\r\n"},
      {"AT+CPWD=\"SC\",\"1234\",\"4321\"\r", "\r\n+CME ERROR: 13\r\n"},
      {"AT+CMEE=0;+CPIN?\r", "\r\nERROR\r\n"}}},

    // Other makers' queries for the tries left, each on its maker's stick
    // only.
    {"HuaweiTriesPukFirst",
     With([](ModemSettings& s) { s.echo = false, s.cmee = 1, s.dialect = TriesDialect::kHuawei; }),
     {{"AT+CGMI;+CGMM\r", "\r\nhuawei\r\n\r\nE1550\r\n\r\nOK\r\n"},
      {"AT^CPIN?\r", "\r\n^CPIN: SIM PIN,3,10,3,10,3\r\n\r\nOK\r\n"},
      {"AT+CPIN=1111\r", "\r\n+CME ERROR: 16\r\n"},
      {"AT^CPIN?\r", "\r\n^CPIN: SIM PIN,2,10,2,10,3\r\n\r\nOK\r\n"},
      {"AT+CPINR\r", "\r\nERROR\r\n"},
      {"AT+CSIM=10,\"0020000100\"\r", "\r\nERROR\r\n"},
      {"AT+CPIN=1234\r", "\r\nOK\r\n"},
      {"AT^CPIN?\r", "\r\n^CPIN: READY,,10,3,10,3\r\n\r\nOK\r\n"}}},
    {"ZteTriesInTheTestForm",
     With([](ModemSettings& s) { s.echo = false, s.dialect = TriesDialect::kZte; }),
     {{"AT+CGMI\r", "\r\nZTE CORPORATION\r\n\r\nOK\r\n"},
      {"AT+ZPINPUK=?\r", "\r\n+ZPINPUK: 3,10\r\n\r\nOK\r\n"},
      {"AT+ZPINPUK?\r", "\r\nERROR\r\n"},
      {"AT^CPIN?\r", "\r\nERROR\r\n"}}},
    {"QuectelTriesForBothPins",
     With([](ModemSettings& s) {
       s.echo = false, s.state = SimState::kWaitPuk, s.dialect = TriesDialect::kQuectel;
     }),
     {{"AT+CGMI\r", "\r\nQuectel\r\n\r\nOK\r\n"},
      {"AT+QPINC?\r", "\r\n+QPINC: \"SC\",0,10\r\n\r\n+QPINC: \"P2\",3,10\r\n\r\nOK\r\n"},
      {"AT+QPINC=\"sc\"\r", "\r\n+QPINC: \"SC\",0,10\r\n\r\nOK\r\n"},
      {"AT+ZPINPUK=?\r", "\r\nERROR\r\n"}}},
    {"StandardTriesWithTheSecondPin",
     With([](ModemSettings& s) { s.echo = false, s.dialect = TriesDialect::k3gpp; }),
     {{"AT+CPINR\r",
       "\r\n+CPINR: SIM PIN,3,3\r\n\r\n+CPINR: SIM PUK,10,10\r\n"
       "\r\n+CPINR: SIM PIN2,3,3\r\n\r\n+CPINR: SIM PUK2,10,10\r\n\r\nOK\r\n"},
      {"AT+CPINR=\"SIM*\"\r", "\r\n+CPINR: SIM PIN,3,3\r\n\r\n+CPINR: SIM PUK,10,10\r\n\r\nOK\r\n"},
      {"AT+CSIM=10,\"0020000100\"\r", "\r\nERROR\r\n"},
      {"AT+CGMI\r", "\r\nTessivo\r\n\r\nOK\r\n"}}},
    {"CardAccessOnly",
     With([](ModemSettings& s) { s.echo = false, s.dialect = TriesDialect::kCsim; }),
     {{"AT+CSIM=10,\"002C000100\"\r", "\r\n+CSIM: 4,\"63CA\"\r\n\r\nOK\r\n"},
      {"AT+CPINR=\"SIM PIN\"\r", "\r\nERROR\r\n"}}},
    {"NoTriesQueryAtAll",
     With([](ModemSettings& s) { s.echo = false, s.dialect = TriesDialect::kNone; }),
     {{"AT+CPINR\r", "\r\nERROR\r\n"},
      {"AT+CSIM=10,\"0020000100\"\r", "\r\nERROR\r\n"},
      {"AT^CPIN?\r", "\r\nERROR\r\n"},
      {"AT+QPINC?\r", "\r\nERROR\r\n"}}},
    {"RegistrationIsReportedOnceThePinUnlocks",
     With([](ModemSettings& s) { s.echo = false; }),
     {{"AT+CREG=1;+CGREG=2\r", "\r\nOK\r\n"},
      {"AT+CPIN=1234\r", "\r\nOK\r\n\r\n+CREG: 1\r\n\r\n+CGREG: 1,\"00A1\",\"0001B2C3\"\r\n"},
      {"AT+CFUN=4\r", "\r\nOK\r\n\r\n+CREG: 0\r\n\r\n+CGREG: 0\r\n"}}},
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

// One command on a fresh stick with echo off, in a state of the SIM and an
// error mode.
struct CommandCase {
  SimState state;
  int cmee;
  const char* in;
  const char* out;
};

constexpr SimState kPin = SimState::kWaitPin;
constexpr SimState kPuk = SimState::kWaitPuk;
constexpr SimState kReady = SimState::kReady;
constexpr SimState kNoSim = SimState::kAbsent;

const CommandCase kCommandCases[] = {
    // Identification works whatever the SIM does.
    {kPin, 0, "ATI\r",
     "\r\nManufacturer: Tessivo\r\nModel: modemsim\r\nRevision: 1.0.0\r\n"
     "IMEI: 004401234567895\r\n+GCAP: +CGSM,+DS,+ES\r\n\r\nOK\r\n"},
    {kNoSim, 2, "AT+CGMI;+GMI\r", "\r\nTessivo\r\n\r\nTessivo\r\n\r\nOK\r\n"},
    {kPuk, 1, "AT+CGMM;+GMM\r", "\r\nmodemsim\r\n\r\nmodemsim\r\n\r\nOK\r\n"},
    {kPin, 0, "AT+CGMR;+GMR\r", "\r\n1.0.0\r\n\r\n1.0.0\r\n\r\nOK\r\n"},
    {kPin, 0, "AT+CGSN;+GSN\r", "\r\n004401234567895\r\n\r\n004401234567895\r\n\r\nOK\r\n"},
    {kPin, 0, "AT+GCAP\r", "\r\n+GCAP: +CGSM,+DS,+ES\r\n\r\nOK\r\n"},
    {kPin, 0, "AT+CGMI=?\r", "\r\nOK\r\n"},
    {kPin, 0, "AT+CGMI?\r", "\r\nERROR\r\n"},
    // The subscriber's identity only from an unlocked card.
    {kReady, 0, "AT+CIMI\r", "\r\n001010123456789\r\n\r\nOK\r\n"},
    {kPin, 0, "AT+CIMI\r", "\r\nERROR\r\n"},
    {kPin, 1, "AT+CIMI\r", "\r\n+CME ERROR: 11\r\n"},
    {kPin, 2, "AT+CIMI\r", "\r\n+CME ERROR: SIM PIN required\r\n"},
    {kPuk, 1, "AT+CIMI\r", "\r\n+CME ERROR: 12\r\n"},
    {kNoSim, 2, "AT+CIMI\r", "\r\n+CME ERROR: SIM not inserted\r\n"},
    // Generic SIM access needs a card that answers.
    {kNoSim, 1, "AT+CSIM=10,\"0020000100\"\r", "\r\n+CME ERROR: 10\r\n"},
    {kPuk, 1, "AT+CSIM=10,\"002C000100\"\r", "\r\n+CSIM: 4,\"63CA\"\r\n\r\nOK\r\n"},
    {kReady, 0, "AT+CSIM=?\r", "\r\nOK\r\n"},
    // V.250 commands every modem has.
    {kPin, 0, "AT&C1&D2\r", "\r\nOK\r\n"},
    {kPin, 0, "ATH\r", "\r\nOK\r\n"},
    {kPin, 0, "ATE2\r", "\r\nERROR\r\n"},
    {kPin, 0, "ATV2\r", "\r\nERROR\r\n"},
    {kPin, 0, "AT&F1\r", "\r\nERROR\r\n"},
    // The radio and the network: registered once the SIM is unlocked.
    {kPin, 0, "AT+CSQ\r", "\r\n+CSQ: 17,99\r\n\r\nOK\r\n"},
    {kPin, 0, "AT+CSQ=?\r", "\r\n+CSQ: (0-31,99),(0-7,99)\r\n\r\nOK\r\n"},
    {kPin, 0, "AT+CFUN=4;+CSQ\r", "\r\n+CSQ: 99,99\r\n\r\nOK\r\n"},
    {kPin, 0, "AT+CREG?\r", "\r\n+CREG: 0,0\r\n\r\nOK\r\n"},
    {kReady, 0, "AT+CREG?\r", "\r\n+CREG: 0,1\r\n\r\nOK\r\n"},
    {kReady, 0, "AT+CREG=2;+CREG?\r", "\r\n+CREG: 2,1,\"00A1\",\"0001B2C3\"\r\n\r\nOK\r\n"},
    {kReady, 0, "AT+CREG=3\r", "\r\nERROR\r\n"},
    {kReady, 0, "AT+CREG=?\r", "\r\n+CREG: (0-2)\r\n\r\nOK\r\n"},
    {kReady, 0, "AT+CGREG?\r", "\r\n+CGREG: 0,1\r\n\r\nOK\r\n"},
    {kNoSim, 0, "AT+CGREG?\r", "\r\n+CGREG: 0,0\r\n\r\nOK\r\n"},
    {kReady, 0, "AT+COPS?\r", "\r\n+COPS: 0,0,\"Tessivo Test\",2\r\n\r\nOK\r\n"},
    {kReady, 0, "AT+COPS=3,2;+COPS?\r", "\r\n+COPS: 0,2,\"00101\",2\r\n\r\nOK\r\n"},
    {kReady, 0, "AT+COPS=3,1;+COPS?\r", "\r\n+COPS: 0,1,\"Tessivo\",2\r\n\r\nOK\r\n"},
    {kPin, 0, "AT+COPS?\r", "\r\n+COPS: 0\r\n\r\nOK\r\n"},
    {kReady, 1, "AT+COPS=1,2,\"00101\"\r", "\r\nERROR\r\n"},
    {kReady, 1, "AT+COPS=4,2\r", "\r\n+CME ERROR: 4\r\n"},
    {kReady, 0, "AT+COPS=3\r", "\r\nERROR\r\n"},
    {kPin, 0, "AT+CFUN?\r", "\r\n+CFUN: 1\r\n\r\nOK\r\n"},
    {kPin, 0, "AT+CFUN=1\r", "\r\nOK\r\n"},
    {kPin, 0, "AT+CFUN=1,1\r", "\r\nOK\r\n"},
    {kPin, 0, "AT+CFUN=7\r", "\r\nERROR\r\n"},
    {kReady, 0, "AT+CFUN=0;+CREG?\r", "\r\n+CREG: 0,0\r\n\r\nOK\r\n"},
    // Settings the SMS clients check before anything else.
    {kPin, 0, "AT+CSCS?\r", "\r\n+CSCS: \"IRA\"\r\n\r\nOK\r\n"},
    {kPin, 0, "AT+CSCS=\"ucs2\";+CSCS?\r", "\r\n+CSCS: \"UCS2\"\r\n\r\nOK\r\n"},
    {kPin, 0, "AT+CSCS=\"KOI8\"\r", "\r\nERROR\r\n"},
    {kPin, 0, "AT+CMGF?\r", "\r\n+CMGF: 0\r\n\r\nOK\r\n"},
    {kPin, 0, "AT+CMGF=1;+CMGF?\r", "\r\n+CMGF: 1\r\n\r\nOK\r\n"},
    {kPin, 0, "AT+CMGF=2\r", "\r\nERROR\r\n"},
    {kPin, 0, "AT+CSMS?\r", "\r\n+CSMS: 0,1,1,1\r\n\r\nOK\r\n"},
    {kPin, 0, "AT+CSMS=1\r", "\r\n+CSMS: 1,1,1\r\n\r\nOK\r\n"},
    {kPin, 0, "AT+CGDCONT?\r", "\r\n+CGDCONT: 1,\"IP\",\"internet\",\"0.0.0.0\",0,0\r\n\r\nOK\r\n"},
    {kPin, 0, "AT+CGDCONT=2,\"IP\",\"web\";+CGDCONT=1;+CGDCONT?\r",
     "\r\n+CGDCONT: 2,\"IP\",\"web\",\"0.0.0.0\",0,0\r\n\r\nOK\r\n"},
    {kPin, 0, "AT+CGDCONT=17,\"IP\"\r", "\r\nERROR\r\n"},
    // Locks: the SIM's PIN request; the network lock is never on.
    {kPin, 1, "AT+CLCK=\"PN\",2\r", "\r\n+CLCK: 0\r\n\r\nOK\r\n"},
    {kReady, 1, "AT+CLCK=\"PN\",0,\"12345678\"\r", "\r\n+CME ERROR: 4\r\n"},
    {kReady, 0, "AT+CLCK=\"SC\",1\r", "\r\nERROR\r\n"},
    {kReady, 1, "AT+CLCK=\"SC\",1\r", "\r\n+CME ERROR: 16\r\n"},
    {kReady, 2, "AT+CLCK=\"SC\",1,\"\"\r", "\r\n+CME ERROR: incorrect password\r\n"},
    {kReady, 1, "AT+CLCK=\"SC\",3,\"1234\"\r", "\r\nERROR\r\n"},
    {kReady, 1, "AT+CLCK=?\r", "\r\n+CLCK: (\"SC\",\"PN\")\r\n\r\nOK\r\n"},
    {kPuk, 1, "AT+CLCK=\"SC\",2\r", "\r\n+CLCK: 1\r\n\r\nOK\r\n"},
    {kNoSim, 1, "AT+CLCK=\"PN\",2\r", "\r\n+CME ERROR: 10\r\n"},
    // Changing the PIN needs the card unlocked.
    {kPin, 1, "AT+CPWD=\"SC\",\"1234\",\"4321\"\r", "\r\n+CME ERROR: 11\r\n"},
    {kPuk, 2, "AT+CPWD=\"SC\",\"1234\",\"4321\"\r", "\r\n+CME ERROR: SIM PUK required\r\n"},
    {kNoSim, 0, "AT+CPWD=\"SC\",\"1234\",\"4321\"\r", "\r\nERROR\r\n"},
    {kReady, 1, "AT+CPWD=\"SC\",\"1234\"\r", "\r\nERROR\r\n"},
    {kReady, 1, "AT+CPWD=?\r", "\r\n+CPWD: (\"SC\",8)\r\n\r\nOK\r\n"},
};

TEST(ModemTest, CommandsInEverySimStateAndErrorMode) {
  for (const CommandCase& c : kCommandCases) {
    ModemSettings settings;
    settings.echo = false;
    settings.state = c.state;
    settings.cmee = c.cmee;
    Modem modem(settings);
    EXPECT_EQ(Say(modem, c.in), c.out) << testing::PrintToString(c.in) << " with SIM state "
                                       << static_cast<int>(c.state) << ", +CMEE=" << c.cmee;
  }
}

TEST(ModemTest, EchoOfALongLineIsWhole) {
  Modem modem({});
  std::string line = "AT+CPIN=\"" + std::string(3000, '1') + "\"\r";
  EXPECT_EQ(Say(modem, line), line + "\r\nERROR\r\n");
  // The next line is a line of its own.
  EXPECT_EQ(Say(modem, "AT\r"), "AT\r\r\nOK\r\n");
}

TEST(ModemTest, NoticesTellAboutAChangedPin) {
  ModemSettings settings;
  settings.state = SimState::kReady;
  Modem modem(settings);
  Say(modem, "AT+CPWD=\"SC\",\"1111\",\"4321\"\rAT+CPWD=\"SC\",\"1234\",\"4321\"\r");
  EXPECT_EQ(modem.TakeNotices(),
            (std::vector<std::string>{"wrong PIN: 2 attempts left", "PIN changed to 4321"}));
}

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
  EXPECT_EQ(Say(modem, "AT+CP"), "AT+CP");
  EXPECT_EQ(Say(modem, "IN?"), "IN?");
  EXPECT_EQ(Say(modem, "\rAT\r"), "\r\r\n+CPIN: SIM PIN\r\n\r\nOK\r\nAT\r\r\nOK\r\n");
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

TEST(ModemTest, RecordsEveryPasswordCommandButNeverThePassword) {
  ModemSettings settings;
  settings.echo = false;
  Modem modem(settings);
  Say(modem,
      "AT+CPIN=1111\rAT+CPIN?\rAT+CLCK=\"SC\",2\rAT+CPIN=\r"
      "AT+CPIN=1234\rAT+CPWD=\"SC\",\"1234\",\"4321\"\rAT+CLCK=\"SC\",0,\"4321\"\r"
      "AT+CPIN=\"12345678\",\"5555\"\r");
  EXPECT_EQ(modem.TakeRecords(), (std::vector<std::string>{
                                     "pin state=pin pin-tries=3 puk-tries=10",
                                     "pin state=pin pin-tries=2 puk-tries=10",
                                     "cpwd state=ready pin-tries=3 puk-tries=10",
                                     "clck state=ready pin-tries=3 puk-tries=10",
                                     "puk state=ready pin-tries=3 puk-tries=10",
                                 }));
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

// A client's lines at their times, and what is due for it by then; a step
// without a line only looks at the wire.
struct Step {
  Time at;
  const char* in;
  const char* out;
};
struct TimedCase {
  const char* what;
  ModemSettings settings;
  std::vector<Step> steps;
};

void RunTimed(const TimedCase& c) {
  SCOPED_TRACE(c.what);
  Modem modem(c.settings);
  for (const Step& step : c.steps) {
    SCOPED_TRACE(step.in);
    EXPECT_EQ(Say(modem, step.in, step.at), step.out);
  }
}

// A stick that is still starting, and a card with fewer tries: what a client
// that waits for it sees, command by command.
TEST(ModemTimingTest, AStickStillStarting) {
  using Case = TimedCase;
  ModemSettings busy;
  busy.busyAtStart = 3000ms;
  busy.echo = false;
  busy.cmee = 1;
  ModemSettings busyVerbose = busy;
  busyVerbose.cmee = 2;
  ModemSettings mute;
  mute.muteAtStart = 2000ms;
  ModemSettings oneTry;
  oneTry.pinTries = 1;
  oneTry.echo = false;
  oneTry.cmee = 1;
  const Case cases[] = {
      {"busy SIM, the modem itself answers",
       busy,
       {{0ms, "AT\r", "\r\nOK\r\n"},
        {100ms, "AT+CPIN?\r", "\r\n+CME ERROR: 14\r\n"},
        {200ms, "AT+CPINR=\"SIM PIN\"\r", "\r\n+CME ERROR: 14\r\n"},
        {300ms, "AT+CLCK=\"SC\",2\r", "\r\n+CME ERROR: 14\r\n"},
        // Refused without looking at it: the right PIN later still has its 3 tries.
        {400ms, "AT+CPIN=9999\r", "\r\n+CME ERROR: 14\r\n"},
        {2999ms, "AT+CPIN?\r", "\r\n+CME ERROR: 14\r\n"},
        {3000ms, "AT+CPIN?\r", "\r\n+CPIN: SIM PIN\r\n\r\nOK\r\n"},
        {3000ms, "AT+CPINR=\"SIM PIN\"\r", "\r\n+CPINR: SIM PIN,3,3\r\n\r\nOK\r\n"}}},
      {"busy SIM, verbose", busyVerbose, {{0ms, "AT+CPIN?\r", "\r\n+CME ERROR: SIM busy\r\n"}}},
      {"mute modem",
       mute,
       {{0ms, "AT\r", ""}, {1999ms, "AT\r", ""}, {2000ms, "AT\r", "AT\r\r\nOK\r\n"}}},
      {"one try left",
       oneTry,
       {{0ms, "AT+CPINR=\"SIM PIN\"\r", "\r\n+CPINR: SIM PIN,1,3\r\n\r\nOK\r\n"},
        {0ms, "AT+CPIN=9999\r", "\r\n+CME ERROR: 16\r\n"},
        {0ms, "AT+CPIN?\r", "\r\n+CPIN: SIM PUK\r\n\r\nOK\r\n"},
        {0ms, "AT+CPINR=\"SIM PIN\"\r", "\r\n+CPINR: SIM PIN,0,3\r\n\r\nOK\r\n"}}},
  };
  for (const auto& c : cases) RunTimed(c);
}

// The faults a test asks for by name, each where and when it was asked.
TEST(ModemTimingTest, HostileTimingOnRequest) {
  auto with = [](void (*change)(ModemSettings&)) { return With(change); };
  const TimedCase cases[] = {
      {"answer delay",
       with([](ModemSettings& s) {
         s.answerDelays = {{"AT+CPINR", 2000ms}};
       }),
       {{0ms, "at+cpinr=\"SIM PIN\"\r", "at+cpinr=\"SIM PIN\"\r"},
        {1999ms, "", ""},
        {2000ms, "", "\r\n+CPINR: SIM PIN,3,3\r\n\r\nOK\r\n"},
        {2000ms, "AT+CPIN?\r", "AT+CPIN?\r\r\n+CPIN: SIM PIN\r\n\r\nOK\r\n"}}},
      {"unsolicited line before the answer",
       with([](ModemSettings& s) {
         s.unsolicitedBefore = {{"AT+CPIN?", "+CPIN: READY"}};
       }),
       {{0ms, "AT+CPIN?\r", "AT+CPIN?\r\r\n+CPIN: READY\r\n\r\n+CPIN: SIM PIN\r\n\r\nOK\r\n"},
        {0ms, "AT\r", "AT\r\r\nOK\r\n"}}},
      {"answer split",
       with([](ModemSettings& s) {
         s.splits = {{"AT+CPIN?", 16, 300ms}};
       }),
       {{0ms, "AT+CPIN?\r", "AT+CPIN?\r\r\n+CPIN: SIM PIN"},
        {299ms, "", ""},
        {300ms, "", "\r\n\r\nOK\r\n"}}},
      {"line at a time",
       with([](ModemSettings& s) {
         s.unsolicitedAt = {{500ms, "^SIMST: 1"}};
       }),
       {{0ms, "AT\r", "AT\r\r\nOK\r\n"}, {499ms, "", ""}, {500ms, "", "\r\n^SIMST: 1\r\n"}}},
      {"PIN result 6.5 s after its echo",
       with([](ModemSettings& s) { s.lateFinal = 6500ms; }),
       {{0ms, "AT+CPIN=1234\r", "AT+CPIN=1234\r"}, {6499ms, "", ""}, {6500ms, "", "\r\nOK\r\n"}}},
      // The card still counts what it was never heard to answer.
      {"PIN never answered",
       with([](ModemSettings& s) { s.pinUnanswered = true; }),
       {{0ms, "AT+CPIN=1111\r", "AT+CPIN=1111\r"},
        {60s, "AT+CPINR=\"SIM PIN\"\r",
         "AT+CPINR=\"SIM PIN\"\r\r\n+CPINR: SIM PIN,2,3\r\n\r\nOK\r\n"},
        {60s, "AT+CPIN=1234\r", "AT+CPIN=1234\r"},
        {60s, "AT+CPIN?\r", "AT+CPIN?\r\r\n+CPIN: READY\r\n\r\nOK\r\n"}}},
      // The PUK again is refused as to any unlocked card, and costs nothing.
      {"status lags the PUK",
       with([](ModemSettings& s) {
         s.readyAfterPuk = 1000ms, s.state = SimState::kWaitPuk, s.echo = false, s.cmee = 1;
       }),
       {{0ms, "AT+CPIN=12345678,4321\r", "\r\nOK\r\n"},
        {999ms, "AT+CPIN?\r", "\r\n+CPIN: SIM PUK\r\n\r\nOK\r\n"},
        {999ms, "AT+CPIN=12345678,4321\r", "\r\n+CME ERROR: 3\r\n"},
        {1000ms, "AT+CPIN?\r", "\r\n+CPIN: READY\r\n\r\nOK\r\n"}}},
  };
  for (const auto& c : cases) RunTimed(c);
}

// Chaos moves bytes in time and adds unsolicited lines; without those lines
// the wire is the calm stick's, and the card ends the same.
TEST(ModemTimingTest, ChaosNeverChangesWhatTheAnswersSay) {
  const char* const script[] = {
      "AT+CPIN?\r", "AT+CPIN=1111\r", "AT+CPINR\r", "AT+CPIN=1234\r", "AT+CLCK=\"SC\",0,\"1234\"\r",
      "AT+CPIN?\r"};
  struct Run {
    std::string timed, wire;
    int pinTries;
    bool lock;
  };
  auto run = [&](std::optional<std::uint64_t> seed) {
    ModemSettings settings;
    settings.cmee = 1;
    settings.chaos = seed;
    Modem modem(settings);
    Run r;
    Time t = 0ms;
    for (const char* line : script) {
      modem.Receive(line, t);
      while (auto wake = modem.NextWakeup()) {
        t = std::max(t, *wake);
        std::string out = modem.TakeOutput(t);
        r.timed += std::to_string(t.count()) + ":" + out + "|";
        r.wire += out;
      }
    }
    for (const char* extra :
         {"\r\n+CPIN: READY\r\n", "\r\n+CPIN: SIM PIN\r\n", "\r\nRING\r\n", "\r\n^SIMST: 1\r\n"}) {
      for (size_t at; (at = r.wire.find(extra)) != std::string::npos;) {
        r.wire.erase(at, std::string(extra).size());
      }
    }
    r.pinTries = modem.sim().pinTriesLeft();
    r.lock = modem.sim().lockEnabled();
    return r;
  };
  const Run calm = run(std::nullopt);
  bool moved = false;
  for (std::uint64_t seed = 1; seed <= 30; ++seed) {
    SCOPED_TRACE(seed);
    const Run wild = run(seed);
    EXPECT_EQ(wild.wire, calm.wire);
    EXPECT_EQ(wild.pinTries, calm.pinTries);
    EXPECT_EQ(wild.lock, calm.lock);
    EXPECT_EQ(run(seed).timed, wild.timed);
    moved = moved || wild.timed != calm.timed;
  }
  EXPECT_TRUE(moved);
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
