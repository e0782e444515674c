// The SIM operations behind the dialog's buttons, on a fake window system, a
// fake SIM and a virtual clock: what the user sees in the status area and on
// the switch button, what goes over the wire, and the tones.
#include <gtest/gtest.h>

#include "operations/reply_classification.h"
#include "operations/status_texts.h"
#include "resources/resource.h"
#include "tests/support/fake_dialog_host.h"
#include "tests/support/fake_platform.h"
#include "tests/support/fake_sim.h"
#include "ui/sim_unlock_dialog.h"

namespace tessivo {
namespace {

using testing::FakeDialogHost;
using testing::FakePlatform;
using testing::FakeSim;
using testing::Tone;
using State = FakeSim::State;

const std::vector<Tone> kSuccess = {{3000, 200, 0}};
const std::vector<Tone> kFailure = {{120, 400, 0}, {120, 400, 0}};

// ---------------------------------------------------------------- pure rules

TEST(Normalisation, Table) {
  const std::pair<const char*, const char*> cases[] = {
      {"com3", "COM3"},
      {"", "COM1"},
      {"3", "COM3"},
      {"PORT7", "COM7"},
      {"XCOM5", "COM5"},
      {"COM0", "COM1"},
      {"COM99", "COM99"},
      {"X100", "COM1"},
      {"C0M1", "COM1"},
      {"COM05", "COM05"},
      {"COM5X", "COM5X"},
      {"COM 7", "COM 7"},
      {"COMxx", "COMXX"},
      {"COM", "COM"},
      {"co", "COM1"},
      {"port7", "COM7"},
      {"99999999999999999999", "COM1"},  // an absurd number cannot overflow
  };
  for (const auto& [before, after] : cases) {
    EXPECT_EQ(NormalizedPortName(before), after) << '"' << before << '"';
  }
}

TEST(ReplyClassification, PinQuery) {
  const std::pair<const char*, ProbeResult> cases[] = {
      {"\r\n+cpin: sim pin\r\n\r\nok\r\n", ProbeResult::PinRequired},
      {"at+cpin?\r\r\n+cpin: sim pin\r\n\r\nok\r\n", ProbeResult::PinRequired},
      {"at+cpin?\r\r\nok\r\n", ProbeResult::PinRequired},  // the echo alone holds "pin"
      {"\r\n+cpin: sim puk\r\n\r\nok\r\n", ProbeResult::PukRequired},
      {"\r\n+cpin: ready\r\n\r\nok\r\n", ProbeResult::Unlocked},
      {"at+cpin?\r\r\n+cpin: ready\r\n\r\nok\r\n", ProbeResult::Unlocked},  // pin and ready
      {"\r\n+cme error: sim puk required\r\n", ProbeResult::NoModem},       // puk and error
      {"\r\n+cme error: 10\r\n", ProbeResult::NoModem},
      {"|1", ProbeResult::NoModem},
      {"|2", ProbeResult::NoModem},
      {"\r\nok\r\n", ProbeResult::NoModem},
  };
  for (const auto& [reply, expected] : cases) {
    EXPECT_EQ(ClassifyPinQueryReply(reply), expected) << reply;
  }
}

TEST(ReplyClassification, LockQuery) {
  const std::pair<const char*, ProbeResult> cases[] = {
      {"\r\n+clck: 0\r\n\r\nok\r\n", ProbeResult::PinRequestOff},
      {"at+clck=\"sc\",2\r\r\n+clck: 0\r\n\r\nok\r\n", ProbeResult::PinRequestOff},
      {"\r\n+clck: 1\r\n\r\nok\r\n", ProbeResult::NoModem},
      {"\r\n+clck: 0\r\n\r\nerror\r\n", ProbeResult::NoModem},
      {"|2", ProbeResult::NoModem},
  };
  for (const auto& [reply, expected] : cases) {
    EXPECT_EQ(ClassifyLockQueryReply(reply), expected) << reply;
  }
}

TEST(ReplyClassification, PasswordCommands) {
  struct Case {
    const char* reply;
    const char* command;
    CommandOutcome outcome;
  } cases[] = {
      {"at+cpin=1234\r\r\nok\r\n", "at+cpin=1234", CommandOutcome::Accepted},
      {"|2\r\nok\r\n", "at+cpin=1234", CommandOutcome::Accepted},  // late OK
      {"\r\n+cme error: incorrect password\r\n", "at+cpin=1234", CommandOutcome::WrongPin},
      {"\r\n+cme error: 16\r\n", "at+cpin=1234", CommandOutcome::Unexpected},
      {"\r\nerror\r\n", "at+cpin=1234", CommandOutcome::Unexpected},
      {"|2", "at+cpin=1234", CommandOutcome::Unexpected},
      {"at+cpin=1ok2\r\r\n+cme error: 16\r\n", "at+cpin=1ok2", CommandOutcome::Unexpected},
      {"at+clck=\"sc\",0,\"okok\"\r\r\nerror\r\n", "at+clck=\"sc\",0,\"okok\"",
       CommandOutcome::Unexpected},
      {"at+clck=\"sc\",1,\"okok\"\r\r\nok\r\n", "at+clck=\"sc\",1,\"okok\"",
       CommandOutcome::Accepted},
      // Error replies that hold "ok" somewhere are never acceptance.
      {"at+cpin=1234\r\r\n+cme error: sim broken\r\n", "at+cpin=1234", CommandOutcome::Unexpected},
      {"\r\ntoken error\r\n", "at+cpin=1234", CommandOutcome::Unexpected},
      {"\r\nerror\r\nok", "at+cpin=1234", CommandOutcome::Unexpected},  // O, NUL, K joined
      {"at+cpin=okok\rat+cpin=okok\r\r\n+cme error: incorrect password\r\n", "at+cpin=okok",
       CommandOutcome::WrongPin},
      {"\r\nok\r\n\r\nerror\r\n", "at+cpin=1234", CommandOutcome::Unexpected},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ClassifyCommandReply(c.reply, c.command), c.outcome) << c.reply;
  }
}

// ------------------------------------------------------- the dialog at work

class Operations : public ::testing::Test {
 protected:
  // A SIM on COM1 and the dialog opened (discovery and the first probe run).
  void Start() {
    AttachSim("COM1", sim);
    host.Open(dialog);
    platform.tones.clear();
    platform.Port("COM1").written.clear();
  }
  void AttachSim(const std::string& port, FakeSim& s) {
    platform.Port(port).modem = [&s](const std::string& line) { return s.Answer(line); };
  }
  void Type(int id, const std::string& text) {
    host.Control(id).text.clear();
    host.Type(id, text);
  }
  std::string Status() { return host.Text(IDC_STATUS); }
  std::string Switch() { return host.Text(IDC_SWITCH); }
  bool SwitchEnabled() { return host.Enabled(IDC_SWITCH); }
  std::vector<std::string> RepaintedTexts() {
    std::vector<std::string> texts;
    for (const auto& r : host.repaints) texts.push_back(r.statusText);
    return texts;
  }

  FakePlatform platform;
  FakeDialogHost host;
  FakeSim sim;
  SimUnlockDialog dialog{platform, host};
};

struct ProbeCase {
  const char* what;
  State state;
  bool lockOn;
  ProbeResult result;
  const char* text;
  bool isError;
  bool switchEnabled;
  const char* caption;
  int switchMode;  // after a start with SwitchMode 0
  const char* startPort;
};

const ProbeCase kProbeCases[] = {
    {"PIN expected", State::Pin, true, ProbeResult::PinRequired, texts::kPinRequired, false, true,
     texts::kSwitchOff, 2, "COM4"},
    {"unlocked", State::Ready, true, ProbeResult::Unlocked, texts::kUnlocked, false, true,
     texts::kSwitchOff, 2, "COM4"},
    {"PIN request off", State::Ready, false, ProbeResult::PinRequestOff, texts::kPinRequestOff,
     true, true, texts::kSwitchOn, 1, "COM4"},
    {"PUK expected", State::Puk, true, ProbeResult::PukRequired, texts::kPukRequired, true, false,
     texts::kSwitchUnavailable, 0, "COM4"},
    // Without a SIM the modem answers the discovery's question with an error,
    // so discovery passes it by; "Modem testen" on it tells what is wrong.
    {"no SIM", State::NoSim, true, ProbeResult::NoModem, texts::kNoModem, true, false,
     texts::kSwitchUnavailable, 0, "COMxx"},
};

TEST_F(Operations, DialogStartAndModemTestReportTheSim) {
  for (const auto& c : kProbeCases) {
    SCOPED_TRACE(c.what);
    FakePlatform platform;
    FakeDialogHost host;
    FakeSim sim;
    sim.state = c.state;
    sim.lockOn = c.lockOn;
    platform.Port("COM4").modem = [&sim](const std::string& line) { return sim.Answer(line); };
    SimUnlockDialog dialog(platform, host);
    host.Open(dialog);
    EXPECT_EQ(host.Text(IDC_PORT), c.startPort);
    host.Control(IDC_PORT).text = "com4";
    host.Click(IDC_TEST_MODEM);
    EXPECT_EQ(host.Text(IDC_PORT), "COM4");
    EXPECT_EQ(host.Text(IDC_STATUS), c.text);
    EXPECT_EQ(dialog.statusIsError, c.isError);
    EXPECT_EQ(host.StatusBackground(),
              c.isError ? dialog_style::kStatusError : dialog_style::kStatusNormal);
    EXPECT_EQ(host.Enabled(IDC_SWITCH), c.switchEnabled);
    EXPECT_EQ(host.Text(IDC_SWITCH), c.caption);
    EXPECT_EQ(dialog.SwitchMode, c.switchMode);
    EXPECT_EQ(dialog.ProbeModem(false), c.result);
    EXPECT_FALSE(platform.Port("COM4").isOpen);
    EXPECT_TRUE(platform.tones.empty());
  }
}

TEST_F(Operations, ProbeSendsResetLockQueryAndPinQueryOnlyWhenTheLockIsOn) {
  Start();
  sim.commands.clear();
  dialog.ProbeModem(false);
  EXPECT_EQ(sim.commands, (std::vector<std::string>{"ATZ", "AT+CLCK=\"SC\",2", "AT+CPIN?"}));
  sim.lockOn = false;
  sim.commands.clear();
  dialog.ProbeModem(false);
  EXPECT_EQ(sim.commands, (std::vector<std::string>{"ATZ", "AT+CLCK=\"SC\",2"}));
}

TEST_F(Operations, SilentProbeLeavesTheStatusButSetsTheSwitch) {
  Start();
  dialog.statusText = "unchanged";
  dialog.ShowFields();
  sim.state = State::Puk;
  EXPECT_EQ(dialog.ProbeModem(false), ProbeResult::PukRequired);
  EXPECT_EQ(Status(), "unchanged");
  EXPECT_FALSE(SwitchEnabled());
  EXPECT_EQ(Switch(), texts::kSwitchUnavailable);
  EXPECT_EQ(dialog.SwitchMode, 2);  // kept from the start's probe
}

TEST_F(Operations, NoPortAtAll) {
  host.Open(dialog);
  EXPECT_EQ(host.Text(IDC_PORT), "COMxx");
  EXPECT_EQ(Status(), texts::kPortNotFound);
  EXPECT_FALSE(SwitchEnabled());
  EXPECT_EQ(Switch(), texts::kSwitchUnavailable);
}

TEST_F(Operations, PortThatDoesNotOpenIsReportedByItsCause) {
  const std::pair<PortOpenResult, const char*> cases[] = {
      {PortOpenResult::Busy, texts::kPortBusy}, {PortOpenResult::Faulty, texts::kPortFaulty}};
  Start();
  for (const auto& [cause, text] : cases) {
    platform.Port("COM1").openResult = cause;
    dialog.TestModem();
    EXPECT_EQ(Status(), text);
    EXPECT_TRUE(dialog.statusIsError);
  }
}

TEST_F(Operations, TestModemNormalisesTheTypedPortFirst) {
  AttachSim("COM7", sim);
  host.Open(dialog);
  Type(IDC_PORT, "port7");
  dialog.TestModem();
  EXPECT_EQ(host.Text(IDC_PORT), "COM7");
  EXPECT_EQ(Status(), texts::kPinRequired);
  // The emptied status and the corrected name were painted before the probe.
  ASSERT_FALSE(host.repaints.empty());
  EXPECT_EQ(host.repaints.back().statusText, "");
}

struct PinCase {
  const char* what;
  const char* typed;
  int errorMode;
  long finalDelay;
  const char* text;
  bool isError;
  std::vector<Tone> tones;
  const char* wire;  // the PIN command as it went out, "" for none
};

const PinCase kPinCases[] = {
    {"right PIN", "1234", 0, 0, texts::kPinAccepted, false, kSuccess, "AT+CPIN=1234\r"},
    {"wrong PIN, verbose errors", "9999", 2, 0, texts::kWrongPin, true, kFailure, "AT+CPIN=9999\r"},
    {"wrong PIN, numeric errors", "9999", 1, 0, texts::kUnexpectedReply, true, kFailure,
     "AT+CPIN=9999\r"},
    {"OK only after the exchange gave up", "1234", 0, 2500, texts::kPinAccepted, false, kSuccess,
     "AT+CPIN=1234\r"},
    {"PIN holding ok, rejected", "1ok2", 0, 0, texts::kUnexpectedReply, true, kFailure,
     "AT+CPIN=1OK2\r"},
    {"three characters", "123", 0, 0, texts::kPinNotFourCharacters, true, {}, ""},
    {"a semicolon", "12;4", 0, 0, texts::kPinNotFourCharacters, true, {}, ""},
    {"a quote", "1\"34", 0, 0, texts::kPinNotFourCharacters, true, {}, ""},
};

TEST_F(Operations, SendPin) {
  for (const auto& c : kPinCases) {
    SCOPED_TRACE(c.what);
    FakePlatform platform;
    FakeDialogHost host;
    FakeSim sim;
    sim.errorMode = c.errorMode;
    sim.finalDelay = c.finalDelay;
    platform.Port("COM1").modem = [&sim](const std::string& line) { return sim.Answer(line); };
    SimUnlockDialog dialog(platform, host);
    host.Open(dialog);
    platform.Port("COM1").written.clear();
    host.Type(IDC_PIN, c.typed);
    host.PressEnter();  // the default button
    EXPECT_EQ(host.Text(IDC_STATUS), c.text);
    EXPECT_EQ(dialog.statusIsError, c.isError);
    EXPECT_EQ(platform.tones, c.tones);
    const std::string& written = platform.Port("COM1").written;
    if (*c.wire) {
      EXPECT_NE(written.find(c.wire), std::string::npos) << written;
    } else {
      EXPECT_EQ(written, "");
    }
    EXPECT_FALSE(platform.Port("COM1").isOpen);
  }
}

TEST_F(Operations, SendPinShowsItsProgressInStages) {
  Start();
  Type(IDC_PIN, "1234");
  host.repaints.clear();
  dialog.SendPin();
  const std::vector<std::string> expected = {texts::kPinRequired, "\n\n.", "\n\n..", "\n\n...",
                                             "\n\n...."};
  EXPECT_EQ(RepaintedTexts(), expected);
  // The dots keep the colours of the previous outcome.
  EXPECT_EQ(host.repaints[1].statusBackground, dialog_style::kStatusNormal);
}

TEST_F(Operations, SendPinWithTheSimInAnotherStateSendsNothingAndExplains) {
  const std::pair<State, const char*> cases[] = {{State::Ready, texts::kUnlocked},
                                                 {State::Puk, texts::kPukRequired},
                                                 {State::NoSim, texts::kNoModem}};
  for (const auto& [state, text] : cases) {
    Start();
    sim.state = state;
    Type(IDC_PIN, "1234");
    dialog.SendPin();
    EXPECT_EQ(Status(), text);
    EXPECT_EQ(platform.Port("COM1").written.find("AT+CPIN=1234"), std::string::npos);
    EXPECT_TRUE(platform.tones.empty());
    sim = FakeSim{};
  }
}

TEST_F(Operations, SwitchOffAndOnAgain) {
  Start();
  Type(IDC_PIN, "1234");
  ASSERT_EQ(dialog.SwitchMode, 2);
  host.Click(IDC_SWITCH);
  EXPECT_EQ(Status(), texts::kLockSwitchedOff);
  EXPECT_FALSE(dialog.statusIsError);
  EXPECT_EQ(Switch(), texts::kSwitchOn);
  EXPECT_EQ(dialog.SwitchMode, 1);
  EXPECT_FALSE(sim.lockOn);
  EXPECT_NE(platform.Port("COM1").written.find("AT+CLCK=\"SC\",0,\"1234\"\r"), std::string::npos);

  host.Click(IDC_SWITCH);
  EXPECT_EQ(Status(), texts::kLockSwitchedOn);
  EXPECT_EQ(Switch(), texts::kSwitchOff);
  EXPECT_EQ(dialog.SwitchMode, 2);
  EXPECT_TRUE(sim.lockOn);
  EXPECT_TRUE(platform.tones.empty());  // the switch never beeps
}

TEST_F(Operations, SwitchWithAWrongPinKeepsTheCaption) {
  sim.errorMode = 2;
  Start();
  Type(IDC_PIN, "9999");
  host.Click(IDC_SWITCH);
  EXPECT_EQ(Status(), texts::kWrongPin);
  EXPECT_EQ(Switch(), texts::kSwitchOff);
  EXPECT_EQ(dialog.SwitchMode, 2);
  EXPECT_TRUE(sim.lockOn);
}

TEST_F(Operations, SwitchFindsTheSimChangedAndExplains) {
  Start();
  sim.state = State::Puk;
  Type(IDC_PIN, "1234");
  host.Click(IDC_SWITCH);
  EXPECT_EQ(Status(), texts::kPukRequired);
  EXPECT_FALSE(SwitchEnabled());
  EXPECT_EQ(Switch(), texts::kSwitchUnavailable);
  EXPECT_EQ(platform.Port("COM1").written.find("AT+CLCK=\"SC\",0"), std::string::npos);
}

TEST_F(Operations, SwitchModeNothingDoesNothing) {
  Start();
  dialog.SwitchMode = 0;
  const auto before = platform.Port("COM1").log.size();
  dialog.TogglePinRequest();
  EXPECT_EQ(platform.Port("COM1").log.size(), before);
}

TEST_F(Operations, ShortPinOnTheSwitchEndsBeforeAnyProbe) {
  Start();
  Type(IDC_PIN, "12");
  const auto before = platform.Port("COM1").log.size();
  host.Click(IDC_SWITCH);
  EXPECT_EQ(Status(), texts::kPinNotFourCharacters);
  EXPECT_EQ(platform.Port("COM1").log.size(), before);
  EXPECT_EQ(Switch(), texts::kSwitchOff);
}

// The wait before the rest of a password command's reply is collected:
// 500 ms for the PIN, 800 ms for the lock commands, counted from the end of
// the command's own exchange to the first read that collects the rest.
TEST_F(Operations, PasswordCommandsWaitBeforeCollectingTheRest) {
  const struct {
    const char* what;
    bool lockOn;
    void (SimUnlockDialog::*operation)();
    const char* command;
    long waitMs;
  } cases[] = {
      {"PIN senden", true, &SimUnlockDialog::SendPin, "AT+CPIN=1234\r", 500},
      {"switch off", true, &SimUnlockDialog::TogglePinRequest, "AT+CLCK=\"SC\",0,\"1234\"\r", 800},
      {"switch on", false, &SimUnlockDialog::TogglePinRequest, "AT+CLCK=\"SC\",1,\"1234\"\r", 800},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakePlatform platform;
    FakeDialogHost host;
    FakeSim sim;
    sim.lockOn = c.lockOn;
    platform.Port("COM1").modem = [&sim](const std::string& line) { return sim.Answer(line); };
    SimUnlockDialog dialog(platform, host);
    host.Open(dialog);
    host.Type(IDC_PIN, "1234");
    auto& log = platform.Port("COM1").log;
    log.clear();
    platform.events.clear();
    (dialog.*c.operation)();

    const auto write = std::find(log.begin(), log.end(), std::string("write ") + c.command);
    ASSERT_NE(write, log.end());
    std::vector<long> reads;  // start times of the reads after the command
    for (auto it = write; it != log.end(); ++it) {
      if (it->rfind("read ", 0) == 0) reads.push_back(std::stol(it->substr(it->find('@') + 1)));
    }
    ASSERT_EQ(reads.size(), 8u);  // stage 1 of the exchange, three stages of the rest
    const long exchangeEnd = reads[1] + 100;
    EXPECT_EQ(reads[2], exchangeEnd + c.waitMs);
    const std::string sleep =
        "sleep " + std::to_string(c.waitMs) + " @" + std::to_string(exchangeEnd);
    EXPECT_NE(std::find(platform.events.begin(), platform.events.end(), sleep),
              platform.events.end());
  }
}

// Another run holds the port (the unlock unit, a console form): every button
// tells a busy port and sends nothing.
TEST_F(Operations, AnotherRunOnThePortMakesItBusy) {
  const std::pair<const char*, int> buttons[] = {
      {"Modem testen", IDC_TEST_MODEM}, {"PIN senden", IDC_SEND_PIN}, {"switch", IDC_SWITCH}};
  for (const auto& [what, button] : buttons) {
    SCOPED_TRACE(what);
    Start();
    Type(IDC_PIN, "1234");
    platform.portLocked = true;
    host.Click(button);
    EXPECT_EQ(Status(), texts::kPortBusy);
    EXPECT_EQ(platform.Port("COM1").written, "");
    EXPECT_TRUE(platform.tones.empty());
    platform.portLocked = false;
  }
}

// The silent probe finds the SIM waiting, but then the port does not open
// for the command itself (another program took it in between): the reporting
// probe tells why, no command goes out, no tone sounds.
TEST_F(Operations, PortRefusedAfterAPassingProbeSendsNothingAndTellsWhy) {
  const std::pair<PortOpenResult, const char*> causes[] = {
      {PortOpenResult::NotFound, texts::kPortNotFound},
      {PortOpenResult::Busy, texts::kPortBusy},
      {PortOpenResult::Faulty, texts::kPortFaulty}};
  const std::pair<const char*, void (SimUnlockDialog::*)()> operations[] = {
      {"PIN senden", &SimUnlockDialog::SendPin},
      {"switch off", &SimUnlockDialog::TogglePinRequest}};
  for (const auto& [cause, text] : causes) {
    for (const auto& [what, operation] : operations) {
      SCOPED_TRACE(std::string(what) + " -> " + text);
      FakePlatform platform;
      FakeDialogHost host;
      FakeSim sim;
      testing::FakePort& port = platform.Port("COM1");
      bool refuseNext = false;
      port.modem = [&](const std::string& line) {
        if (refuseNext && line == "AT+CPIN?\r") port.openResult = cause;
        return sim.Answer(line);
      };
      SimUnlockDialog dialog(platform, host);
      host.Open(dialog);
      host.Type(IDC_PIN, "1234");
      port.written.clear();
      refuseNext = true;  // the silent probe's last question
      (dialog.*operation)();
      EXPECT_EQ(host.Text(IDC_STATUS), text);
      EXPECT_TRUE(dialog.statusIsError);
      EXPECT_EQ(port.written.find("AT+CPIN=1234"), std::string::npos) << port.written;
      EXPECT_EQ(port.written.find("AT+CLCK=\"SC\",0"), std::string::npos) << port.written;
      EXPECT_TRUE(platform.tones.empty());
      EXPECT_FALSE(port.isOpen);
    }
  }
}

// --------------------------------------------------------------- discovery

struct Port {
  const char* name;
  enum Kind { Absent, Busy, Silent, Errors, Modem, Noise, EchoOnly } kind;
};

struct DiscoveryCase {
  const char* what;
  std::vector<Port> ports;
  const char* found;
};

const DiscoveryCase kDiscoveryCases[] = {
    {"nothing there", {}, "COMxx"},
    {"busy ports are skipped", {{"COM1", Port::Busy}, {"COM2", Port::Modem}}, "COM2"},
    {"a modem beats an empty port before it",
     {{"COM1", Port::Silent}, {"COM3", Port::Modem}},
     "COM3"},
    {"an empty port when nothing answers",
     {{"COM2", Port::Silent}, {"COM5", Port::Silent}},
     "COM2"},
    {"an error disqualifies", {{"COM3", Port::Errors}, {"COM5", Port::Modem}}, "COM5"},
    {"only errors", {{"COM3", Port::Errors}}, "COMxx"},
    {"COM20 is the last one scanned", {{"COM20", Port::Modem}, {"COM21", Port::Modem}}, "COM20"},
    {"nothing beyond COM20", {{"COM21", Port::Modem}}, "COMxx"},
    {"the modem beats noise and an empty port before it",
     {{"COM1", Port::Noise}, {"COM2", Port::Silent}, {"COM3", Port::Modem}},
     "COM3"},
    {"without a modem the first port without an error, noise or not",
     {{"COM1", Port::Noise}, {"COM2", Port::Silent}},
     "COM1"},
    {"noise does not beat an empty port before it",
     {{"COM1", Port::Silent}, {"COM2", Port::Noise}},
     "COM1"},
    {"the echo of the question is no answer",
     {{"COM1", Port::EchoOnly}, {"COM4", Port::Modem}},
     "COM4"},
};

TEST(Discovery, Table) {
  for (const auto& c : kDiscoveryCases) {
    SCOPED_TRACE(c.what);
    FakePlatform platform;
    FakeDialogHost host;
    FakeSim sim;
    for (const auto& port : c.ports) {
      auto& fake = platform.Port(port.name);
      switch (port.kind) {
        case Port::Busy:
          fake.openResult = PortOpenResult::Busy;
          break;
        case Port::Errors:
          fake.modem = [](const std::string&) {
            return std::vector<std::pair<long, std::string>>{{0, "\r\nERROR\r\n"}};
          };
          break;
        case Port::Modem:
          fake.modem = [&sim](const std::string& line) { return sim.Answer(line); };
          break;
        case Port::Noise:  // a GPS receiver: sentences, whatever it is asked
          fake.modem = [](const std::string&) {
            return std::vector<std::pair<long, std::string>>{
                {0, "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n"}};
          };
          break;
        case Port::EchoOnly:
          fake.modem = [](const std::string& line) {
            return std::vector<std::pair<long, std::string>>{{0, line + "\r\nOK\r\n"}};
          };
          break;
        default:
          break;
      }
    }
    SimUnlockDialog dialog(platform, host);
    EXPECT_EQ(dialog.FindModemPort(), c.found);
    for (const auto& [name, port] : platform.ports) EXPECT_FALSE(port.isOpen) << name;
  }
}

}  // namespace
}  // namespace tessivo

// ------------------------------------ where a service manages the modem

namespace tessivo {
namespace {

using testing::FakeModemService;

struct ServiceProbeCase {
  ServiceSimState state;
  const char* text;
  bool isError;
  const char* caption;
  bool switchEnabled;
};

// The rows the serial way's probe gives for a SIM in the same state.
const ServiceProbeCase kServiceProbeCases[] = {
    {ServiceSimState::PinRequired, texts::kPinRequired, false, texts::kSwitchOff, true},
    {ServiceSimState::PukRequired, texts::kPukRequired, true, texts::kSwitchUnavailable, false},
    {ServiceSimState::Unlocked, texts::kUnlocked, false, texts::kSwitchOff, true},
    {ServiceSimState::PinRequestOff, texts::kPinRequestOff, true, texts::kSwitchOn, true},
    {ServiceSimState::NoSim, texts::kNoModem, true, texts::kSwitchUnavailable, false},
};

TEST(ThroughAService, ProbeReportsTheStateWithoutOpeningThePort) {
  for (const auto& c : kServiceProbeCases) {
    SCOPED_TRACE(c.text);
    FakePlatform platform;
    FakeDialogHost host;
    FakeModemService service;
    service.portName = "COM7";
    service.modems["COM7"] = {c.state, ServiceReply::Accepted, {}};
    platform.service = &service;
    SimUnlockDialog dialog(platform, host);
    host.Open(dialog);
    EXPECT_EQ(host.Text(IDC_PORT), "COM7");  // discovery: the service's port at once
    host.Click(IDC_TEST_MODEM);
    EXPECT_EQ(host.Text(IDC_STATUS), c.text);
    EXPECT_EQ(dialog.statusIsError, c.isError);
    EXPECT_EQ(host.Text(IDC_SWITCH), c.caption);
    EXPECT_EQ(host.Enabled(IDC_SWITCH), c.switchEnabled);
    EXPECT_TRUE(platform.ports.empty() || platform.Port("COM7").opens == 0);
    EXPECT_TRUE(platform.tones.empty());
  }
}

struct ServicePinCase {
  ServiceReply reply;
  const char* text;
  bool isError;
  std::vector<Tone> tones;
};

const ServicePinCase kServicePinCases[] = {
    {ServiceReply::Accepted, texts::kPinAccepted, false, kSuccess},
    {ServiceReply::WrongPassword, texts::kWrongPin, true, kFailure},
    // A caller the service refuses is told what a held port tells: nothing
    // went to the SIM, so no tone either.
    {ServiceReply::Refused, texts::kPortBusy, true, {}},
    {ServiceReply::WrongState, texts::kUnexpectedReply, true, kFailure},
    {ServiceReply::NoAnswer, texts::kUnexpectedReply, true, kFailure},
    {ServiceReply::Failed, texts::kUnexpectedReply, true, kFailure},
};

TEST(ThroughAService, SendPin) {
  for (const auto& c : kServicePinCases) {
    SCOPED_TRACE(c.text);
    FakePlatform platform;
    FakeDialogHost host;
    FakeModemService service;
    service.portName = "COM7";
    service.modems["COM7"] = {ServiceSimState::PinRequired, c.reply, {}};
    platform.service = &service;
    SimUnlockDialog dialog(platform, host);
    host.Open(dialog);
    host.Type(IDC_PIN, "12ab");
    host.PressEnter();
    EXPECT_EQ(host.Text(IDC_STATUS), c.text);
    EXPECT_EQ(dialog.statusIsError, c.isError);
    EXPECT_EQ(platform.tones, c.tones);
    EXPECT_EQ(service.modems["COM7"].calls, std::vector<std::string>{"pin 12AB"});
  }
}

TEST(ThroughAService, PinRulesAndTheSimsStateComeFirst) {
  FakePlatform platform;
  FakeDialogHost host;
  FakeModemService service;
  service.portName = "COM7";
  service.modems["COM7"] = {ServiceSimState::PukRequired, ServiceReply::Accepted, {}};
  platform.service = &service;
  SimUnlockDialog dialog(platform, host);
  host.Open(dialog);
  host.Type(IDC_PIN, "1;34");
  host.PressEnter();
  EXPECT_EQ(host.Text(IDC_STATUS), texts::kPinNotFourCharacters);
  host.Control(IDC_PIN).text.clear();
  host.Type(IDC_PIN, "1234");
  host.PressEnter();
  EXPECT_EQ(host.Text(IDC_STATUS), texts::kPukRequired);
  EXPECT_TRUE(service.modems["COM7"].calls.empty());
  EXPECT_TRUE(platform.tones.empty());
}

TEST(ThroughAService, SwitchOffAndOnAgain) {
  FakePlatform platform;
  FakeDialogHost host;
  FakeModemService service;
  service.portName = "COM7";
  service.modems["COM7"] = {ServiceSimState::Unlocked, ServiceReply::Accepted, {}};
  platform.service = &service;
  SimUnlockDialog dialog(platform, host);
  host.Open(dialog);
  host.Type(IDC_PIN, "1234");
  host.Click(IDC_SWITCH);
  EXPECT_EQ(host.Text(IDC_STATUS), texts::kLockSwitchedOff);
  EXPECT_EQ(host.Text(IDC_SWITCH), texts::kSwitchOn);
  service.modems["COM7"].state = ServiceSimState::PinRequestOff;
  host.Click(IDC_SWITCH);
  EXPECT_EQ(host.Text(IDC_STATUS), texts::kLockSwitchedOn);
  EXPECT_EQ(host.Text(IDC_SWITCH), texts::kSwitchOff);
  EXPECT_EQ(service.modems["COM7"].calls,
            (std::vector<std::string>{"switch 1234 off", "switch 1234 on"}));
  EXPECT_TRUE(platform.tones.empty());
}

TEST(ThroughAService, DiscoveryScansAsEverWhenTheServiceNamesNoPort) {
  FakePlatform platform;
  FakeDialogHost host;
  FakeSim sim;
  FakeModemService service;
  platform.service = &service;
  platform.Port("COM2").modem = [&sim](const std::string& line) { return sim.Answer(line); };
  SimUnlockDialog dialog(platform, host);
  EXPECT_EQ(dialog.FindModemPort(), "COM2");
}

}  // namespace
}  // namespace tessivo
