// The AT clients Linux users already have, against the virtual modem: comgt
// runs for real; gsmctl cannot open a pseudo-terminal (it insists on setting
// the modem-control lines a pty does not have), so its command sequences,
// recorded from a run with those calls let through, are replayed byte for
// byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim_process.h"
#include "tests/support/cannot_run.h"

namespace tessivo::modemsim::testing {
namespace {

struct ComgtCase {
  const char* name;
  std::vector<std::string> simOptions;
  // Scripts run one after the other against the same modem; the last one's
  // output is checked.
  std::vector<std::string> scripts;
  std::vector<std::string> expected;  // each somewhere in the output
  std::chrono::seconds limit;
};

const ComgtCase kComgtCases[] = {
    {"Pin", {}, {"PIN"}, {"SIM ready"}, 10s},
    {"PinOfAnUnlockedSim", {"--state", "ready"}, {"PIN"}, {"SIM ready"}, 10s},
    {"Info",
     {},
     {"info"},
     {"Manufacturer: Tessivo\n", "Model: modemsim\n", "IMEI: 004401234567895\n",
      "Manufacturer:           Tessivo\n", "IMEI and Serial Number: 004401234567895\n",
      "Network Locked:         0\n", "APN:                    1,\"IP\",\"internet\""},
     40s},
    {"Signal", {}, {"sig"}, {"Signal Quality: 17,99\n"}, 10s},
    // Registration needs the SIM unlocked first, as with a real stick.
    {"RegistrationAfterThePin",
     {},
     {"PIN", "reg"},
     {"Registered on Home network: \"Tessivo Test\",2"},
     10s},
};

void PrintTo(const ComgtCase& c, std::ostream* os) {
  *os << c.name;
}

class ComgtTest : public ::testing::TestWithParam<ComgtCase> {};

TEST_P(ComgtTest, FinishesWithRealValues) {
  if (!Installed("comgt")) TESSIVO_CANNOT_RUN("comgt is not installed");
  const ComgtCase& c = GetParam();
  SimProcess sim(c.simOptions);
  ASSERT_NE(sim.ReadLine(), "");
  ClientRun run;
  for (const std::string& script : c.scripts) {
    run = RunClient({"comgt", "-d", sim.link(), script}, {"COMGTPIN=1234"}, c.limit);
    ASSERT_EQ(run.status, 0) << script << " took " << run.elapsed.count() << " ms:\n" << run.output;
  }
  EXPECT_EQ(run.output.find("ERROR"), std::string::npos) << run.output;
  for (const std::string& text : c.expected) {
    EXPECT_NE(run.output.find(text), std::string::npos) << text << " not in:\n" << run.output;
  }
}

INSTANTIATE_TEST_SUITE_P(Scripts, ComgtTest, ::testing::ValuesIn(kComgtCases),
                         [](const auto& info) { return std::string(info.param.name); });

// gsmctl opens every device the same way: reset, echo off, numeric errors,
// PDU mode, then the operation's commands.
struct Exchange {
  std::string in;
  std::string out;
};

const std::vector<Exchange> kGsmctlStart = {
    {"ATZ\r", "ATZ\r\r\nOK\r\n"},
    {"ATE0\r", "ATE0\r\r\nOK\r\n"},
    {"AT+CMEE=1\r", "\r\nOK\r\n"},
    {"AT+CMGF=0\r", "\r\nOK\r\n"},
};
const std::vector<Exchange> kGsmctlIdentity = {
    {"AT+CGMI\r", "\r\nTessivo\r\n\r\nOK\r\n"},
    {"AT+CGMM\r", "\r\nmodemsim\r\n\r\nOK\r\n"},
    {"AT+CGMR\r", "\r\n1.0.0\r\n\r\nOK\r\n"},
    {"AT+CGSN\r", "\r\n004401234567895\r\n\r\nOK\r\n"},
};
const std::vector<Exchange> kGsmctlSms = {
    {"AT+CSMS?\r", "\r\n+CSMS: 0,1,1,1\r\n\r\nOK\r\n"},
    {"AT+CSCS=\"GSM\"\r", "\r\nOK\r\n"},
};

// gsmctl ends some command lines with a NUL before the carriage return.
std::string EndedWithNul(const std::string& command) {
  return command + '\0' + '\r';
}

std::vector<Exchange> Join(std::vector<std::vector<Exchange>> parts) {
  std::vector<Exchange> all;
  for (auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

struct GsmctlCase {
  const char* name;  // the gsmctl command line it stands for
  std::vector<std::string> simOptions;
  std::vector<Exchange> exchanges;
  const char* notice;  // what the sim must report, or nullptr
};

const GsmctlCase kGsmctlCases[] = {
    // gsmctl -d DEV ME
    {"Me", {}, Join({kGsmctlStart, kGsmctlIdentity, kGsmctlSms, kGsmctlIdentity}), nullptr},
    // gsmctl -d DEV PIN
    {"PinStatus",
     {},
     Join({kGsmctlStart, kGsmctlSms, {{"AT+CPIN?\r", "\r\n+CPIN: SIM PIN\r\n\r\nOK\r\n"}}}),
     nullptr},
    // gsmctl -d DEV -o pin 1234
    {"EnterPin",
     {},
     Join({kGsmctlStart, kGsmctlSms, {{"AT+CPIN=\"1234\"\r", "\r\nOK\r\n"}}}),
     "PIN accepted: SIM unlocked"},
    // gsmctl -d DEV -o pin 9999
    {"EnterWrongPin",
     {},
     Join({kGsmctlStart, kGsmctlSms, {{"AT+CPIN=\"9999\"\r", "\r\n+CME ERROR: 16\r\n"}}}),
     "wrong PIN: 2 attempts left"},
    // gsmctl -d DEV -o unlock sc all 1234 (gsmctl ends the line with a NUL)
    {"UnlockWhileWaitingForThePin",
     {},
     Join(
         {kGsmctlStart, kGsmctlSms, {{EndedWithNul("AT+CLCK=\"sc\",0,\"1234\",7"), "\r\nOK\r\n"}}}),
     "PIN request switched off"},
    {"UnlockWhenReady",
     {"--state", "ready"},
     Join(
         {kGsmctlStart, kGsmctlSms, {{EndedWithNul("AT+CLCK=\"sc\",0,\"1234\",7"), "\r\nOK\r\n"}}}),
     "PIN request switched off"},
    // gsmctl -d DEV -o unlock sc all
    {"UnlockWithoutPassword",
     {"--state", "ready"},
     Join({kGsmctlStart,
           kGsmctlSms,
           {{EndedWithNul("AT+CLCK=\"sc\",0,,7"), "\r\n+CME ERROR: 16\r\n"}}}),
     nullptr},
    // gsmctl -d DEV -o lock sc all 1234
    {"LockAgain",
     {"--state", "ready", "--lock", "off"},
     Join(
         {kGsmctlStart, kGsmctlSms, {{EndedWithNul("AT+CLCK=\"sc\",1,\"1234\",7"), "\r\nOK\r\n"}}}),
     "PIN request switched on"},
    // gsmctl -d DEV -o lock sc all
    {"LockWithoutPassword",
     {"--state", "ready", "--lock", "off"},
     Join({kGsmctlStart,
           kGsmctlSms,
           {{EndedWithNul("AT+CLCK=\"sc\",1,,7"), "\r\n+CME ERROR: 16\r\n"}}}),
     nullptr},
};

void PrintTo(const GsmctlCase& c, std::ostream* os) {
  *os << c.name;
}

class GsmctlTest : public ::testing::TestWithParam<GsmctlCase> {};

TEST_P(GsmctlTest, EveryReplyIsAStick) {
  const GsmctlCase& c = GetParam();
  SimProcess sim(c.simOptions);
  ASSERT_NE(sim.ReadLine(), "");
  Port port(sim.link());
  for (const Exchange& e : c.exchanges) {
    port.Send(e.in);
    EXPECT_EQ(port.Read(150ms), e.out) << "after " << ::testing::PrintToString(e.in);
  }
  if (c.notice) {
    std::string line;
    do line = sim.ReadLine();
    while (!line.empty() && line != c.notice);
    EXPECT_EQ(line, c.notice);
  }
}

INSTANTIATE_TEST_SUITE_P(Operations, GsmctlTest, ::testing::ValuesIn(kGsmctlCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tessivo::modemsim::testing
