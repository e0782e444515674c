#include "app/wait_mode.h"

#include <gtest/gtest.h>

#include <functional>

#include "modem/sim_replies.h"
#include "tests/support/fake_platform.h"

namespace tessivo {
namespace {

using testing::FakePlatform;
using Replies = std::vector<std::pair<long, std::string>>;
using O = ConsoleOutcome;
using L = SimLook;

TEST(SimReplies, StateFromThePinQuery) {
  const std::pair<const char*, SimState> table[] = {
      {"\r\n+cpin: sim pin\r\n\r\nok\r\n", SimState::WaitingForPin},
      {"\r\n+cpin: sim puk\r\n\r\nok\r\n", SimState::WaitingForPuk},
      {"\r\n+cpin: ready\r\n\r\nok\r\n", SimState::Ready},
      {"+cpin:ready\r\n", SimState::Ready},
      {"\r\n^rssi:17\r\n\r\n+cpin: sim pin\r\n", SimState::WaitingForPin},
      // A bare OK, a plain error and the busy SIM say nothing definite.
      {"\r\nok\r\n", SimState::NotReady},
      {"\r\nerror\r\n", SimState::NotReady},
      {"\r\n+cme error: 14\r\n", SimState::NotReady},
      {"\r\n+cme error: sim busy\r\n", SimState::NotReady},
      {"", SimState::NotReady},
      // Codes Tessivo has no answer for.
      {"\r\n+cpin: sim pin2\r\n\r\nok\r\n", SimState::NotReady},
      {"\r\n+cpin: ph-sim pin\r\n\r\nok\r\n", SimState::NotReady},
      // A "+cpin:" that is no line of its own is no state.
      {"at+cpin?\r\r\nok\r\n", SimState::NotReady},
      {"\r\nx+cpin: sim pin\r\n", SimState::NotReady},
      // A state next to an error is doubtful.
      {"\r\n+cpin: ready\r\n\r\nerror\r\n", SimState::NotReady},
  };
  for (const auto& [reply, state] : table) {
    SCOPED_TRACE(reply);
    EXPECT_EQ(SimStateFromReply(reply), state);
  }
}

TEST(SimReplies, PinTriesFromTheTriesQuery) {
  const std::pair<const char*, std::optional<unsigned>> table[] = {
      {"\r\n+cpinr: sim pin,3,3\r\n\r\nok\r\n", 3u},
      {"\r\n+cpinr: sim pin,1,3\r\n\r\nok\r\n", 1u},
      {"\r\n+cpinr: \"sim pin\", 2 ,3\r\n", 2u},
      {"\r\n+cpinr: sim pin,0\r\n", 0u},
      {"\r\nok\r\n", std::nullopt},
      {"\r\nerror\r\n", std::nullopt},
      {"\r\n+cpinr: sim puk,10,10\r\n", std::nullopt},
      {"\r\n+cpinr: sim pin2,1,3\r\n", std::nullopt},
      {"\r\n+cpinr: sim pin,,3\r\n", std::nullopt},
      {"\r\n+cpinr: sim pin,3x,3\r\n", std::nullopt},
      {"\r\n+cpinr: sim pin,99999,3\r\n", std::nullopt},
  };
  for (const auto& [reply, tries] : table) {
    SCOPED_TRACE(reply);
    EXPECT_EQ(PinTriesFromReply(reply), tries);
  }
}

TEST(SimReplies, NotReadyReplies) {
  const std::pair<const char*, bool> table[] = {
      {"\r\n+cme error: 14\r\n", true},
      {"\r\n+cme error:14", true},
      {"\r\n+cme error: sim busy\r\n", true},
      {"\r\n+cme error: sim not ready\r\n", true},
      {"\r\n+cme error: 148\r\n", false},
      {"\r\n+cme error: 16\r\n", false},
      {"\r\n+cme error: incorrect password\r\n", false},
      {"\r\nerror\r\n", false},
      // Without an error nothing was refused.
      {"\r\nsim busy\r\n\r\nok\r\n", false},
  };
  for (const auto& [reply, notReady] : table) {
    SCOPED_TRACE(reply);
    EXPECT_EQ(SaysSimNotReady(reply), notReady);
  }
}

// A SIM whose looks follow the virtual clock, and that counts the PINs it got.
class ScriptedSim : public SimLink {
 public:
  ScriptedSim(FakePlatform& platform, std::function<SimLook(long)> look)
      : platform_(platform), look_(std::move(look)) {}
  SimLook ReadState() override {
    ++looks;
    platform_.now += lookMs;
    return look_(platform_.now);
  }
  TriesLook ReadTries() override { return TriesLook{true, tries, std::nullopt}; }
  ConsoleOutcome SendPin(const std::string& pin) override {
    sent.push_back(pin);
    return sendOutcome;
  }

  long lookMs = 300;  // what one look costs
  std::optional<unsigned> tries = 3;
  ConsoleOutcome sendOutcome = O::Accepted;
  int looks = 0;
  std::vector<std::string> sent;

 private:
  FakePlatform& platform_;
  std::function<SimLook(long)> look_;
};

// The first look, or the look from `at` ms on.
std::function<SimLook(long)> Always(SimLook look) {
  return [look](long) { return look; };
}
std::function<SimLook(long)> From(long at, SimLook before, SimLook after) {
  return [=](long now) { return now >= at ? after : before; };
}

TEST(WaitMode, DecidesOnceOnTheFirstDefiniteState) {
  struct Case {
    const char* what;
    std::function<SimLook(long)> look;
    unsigned seconds;
    std::optional<unsigned> tries;
    bool lastTry;
    ConsoleOutcome sendOutcome;
    ConsoleOutcome outcome;
    WaitEnd end;
    std::size_t pinsSent;
  } cases[] = {
      {"ready: nothing sent", Always(L::Ready), 10, 3, false, O::Accepted, O::Accepted,
       WaitEnd::AlreadyReady, 0},
      {"PUK: nothing sent", Always(L::WaitingForPuk), 10, 3, false, O::Accepted, O::NotAccepted,
       WaitEnd::PukRequired, 0},
      {"PIN, three tries", Always(L::WaitingForPin), 10, 3, false, O::Accepted, O::Accepted,
       WaitEnd::PinSent, 1},
      {"PIN, wrong", Always(L::WaitingForPin), 10, 3, false, O::NotAccepted, O::NotAccepted,
       WaitEnd::PinSent, 1},
      // A modem that does not tell the tries is no reason to keep the PIN.
      {"PIN, tries unknown", Always(L::WaitingForPin), 10, std::nullopt, false, O::Accepted,
       O::Accepted, WaitEnd::PinSent, 1},
      {"PIN, one try left", Always(L::WaitingForPin), 10, 1, false, O::Accepted, O::LastTryKept,
       WaitEnd::LastTryKept, 0},
      {"PIN, one try left, --last-try", Always(L::WaitingForPin), 10, 1, true, O::NotAccepted,
       O::NotAccepted, WaitEnd::PinSent, 1},
      {"PIN, modem says no try", Always(L::WaitingForPin), 10, 0, false, O::Accepted,
       O::LastTryKept, WaitEnd::LastTryKept, 0},
      // The reply to the PIN says busy: never a second PIN, even with time left.
      {"PIN answered busy", Always(L::WaitingForPin), 60, 3, false, O::SimNotReady, O::SimNotReady,
       WaitEnd::PinSent, 1},
      {"PIN sent into silence", Always(L::WaitingForPin), 60, 3, false, O::SentNoAnswer,
       O::SentNoAnswer, WaitEnd::PinSent, 1},
      // Nothing could be written, or the service did not take it: look again.
      {"PIN not sent", From(2000, L::WaitingForPin, L::Ready), 10, 3, false, O::NoAnswer,
       O::Accepted, WaitEnd::AlreadyReady, 2},
      {"port late", From(2000, L::PortNotFound, L::WaitingForPin), 10, 3, false, O::Accepted,
       O::Accepted, WaitEnd::PinSent, 1},
      {"modem mute at first", From(2000, L::Silent, L::Ready), 10, 3, false, O::Accepted,
       O::Accepted, WaitEnd::AlreadyReady, 0},
      {"SIM busy at first", From(3000, L::NotReady, L::WaitingForPin), 10, 3, false, O::Accepted,
       O::Accepted, WaitEnd::PinSent, 1},
      {"ModemManager lets go", From(3000, L::PortBusy, L::WaitingForPin), 10, 3, false, O::Accepted,
       O::Accepted, WaitEnd::PinSent, 1},
      {"absent for ever", Always(L::PortNotFound), 3, 3, false, O::Accepted, O::PortNotFound,
       WaitEnd::DeadlinePassed, 0},
      {"silent for ever", Always(L::Silent), 3, 3, false, O::Accepted, O::NoAnswer,
       WaitEnd::DeadlinePassed, 0},
      {"SIM never ready", Always(L::NotReady), 3, 3, false, O::Accepted, O::SimNotReady,
       WaitEnd::DeadlinePassed, 0},
      // The last look decides, not the worst one.
      {"answered, then gone", From(1500, L::NotReady, L::PortNotFound), 3, 3, false, O::Accepted,
       O::PortNotFound, WaitEnd::DeadlinePassed, 0},
      {"--wait 0 looks once", From(1, L::Ready, L::NotReady), 0, 3, false, O::Accepted,
       O::SimNotReady, WaitEnd::DeadlinePassed, 0},
      {"--wait 0, ready", Always(L::Ready), 0, 3, false, O::Accepted, O::Accepted,
       WaitEnd::AlreadyReady, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakePlatform platform;
    ScriptedSim sim(platform, c.look);
    sim.tries = c.tries;
    sim.sendOutcome = c.sendOutcome;
    const WaitResult result = WaitAndUnlock(platform, sim, "1234", {c.seconds, c.lastTry});
    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_EQ(result.end, c.end);
    EXPECT_EQ(sim.sent.size(), c.pinsSent);
    for (const auto& pin : sim.sent) EXPECT_EQ(pin, "1234");
  }
}

TEST(WaitMode, LooksAboutOnceASecondUntilTheDeadline) {
  FakePlatform platform;
  ScriptedSim sim(platform, Always(L::PortNotFound));
  WaitAndUnlock(platform, sim, "1234", {5, false});
  // Looks start at 0, 1000, ..., 5000; the one that starts at the deadline is
  // the last, and the run ends right after it.
  EXPECT_EQ(sim.looks, 6);
  EXPECT_EQ(platform.now, 5300);
}

TEST(WaitMode, SlowLooksFollowEachOtherWithoutPause) {
  FakePlatform platform;
  ScriptedSim sim(platform, Always(L::Silent));
  sim.lookMs = 2900;
  WaitAndUnlock(platform, sim, "1234", {6, false});
  EXPECT_EQ(sim.looks, 3);  // ends at 2900, 5800, 8700
  EXPECT_TRUE(platform.events.empty());
}

TEST(WaitMode, AnUnsafePinEndsAtOnceWithoutALook) {
  for (const char* pin : {"12;4", "123", "12345", ""}) {
    SCOPED_TRACE(pin);
    FakePlatform platform;
    ScriptedSim sim(platform, Always(L::WaitingForPin));
    const WaitResult result = WaitAndUnlock(platform, sim, pin, {60, true});
    EXPECT_EQ(result.outcome, O::UnsafePin);
    EXPECT_EQ(sim.looks, 0);
  }
}

// The serial way on the fake device: a modem that answers each command line.
std::function<Replies(const std::string&)> Answers(std::map<std::string, std::string> table,
                                                   bool echo = true) {
  return [=](const std::string& line) {
    Replies replies;
    if (echo) replies.push_back({0, line});
    const auto it = table.find(line);
    if (it != table.end()) replies.push_back({10, it->second});
    return replies;
  };
}

TEST(SerialSimLink, ReadsTheStateFromTheModemsOwnLine) {
  const std::string kOk = "\r\nOK\r\n";
  struct Case {
    const char* what;
    std::map<std::string, std::string> answers;
    bool echo;
    SimLook look;
  } cases[] = {
      {"PIN",
       {{"AT\r", kOk}, {"AT+CPIN?\r", "\r\n+CPIN: SIM PIN\r\n" + kOk}},
       true,
       L::WaitingForPin},
      {"PIN, no echo",
       {{"AT\r", kOk}, {"AT+CPIN?\r", "\r\n+CPIN: SIM PIN\r\n" + kOk}},
       false,
       L::WaitingForPin},
      {"PUK",
       {{"AT\r", kOk}, {"AT+CPIN?\r", "\r\n+CPIN: SIM PUK\r\n" + kOk}},
       true,
       L::WaitingForPuk},
      {"ready", {{"AT\r", kOk}, {"AT+CPIN?\r", "\r\n+CPIN: READY\r\n" + kOk}}, true, L::Ready},
      {"busy", {{"AT\r", kOk}, {"AT+CPIN?\r", "\r\n+CME ERROR: 14\r\n"}}, true, L::NotReady},
      // The echo "AT+CPIN?" is never a state, and a bare OK is not ready.
      {"echo and OK only", {{"AT\r", kOk}, {"AT+CPIN?\r", kOk}}, true, L::NotReady},
      {"echo only", {{"AT\r", kOk}}, true, L::NotReady},
      {"AT answered with an error", {{"AT\r", "\r\nERROR\r\n"}}, true, L::NotReady},
      {"nothing at all", {}, false, L::Silent},
      {"only the echo of AT", {}, true, L::NotReady},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakePlatform platform;
    auto& port = platform.Port("com1");
    port.modem = Answers(c.answers, c.echo);
    SerialSimLink sim(platform, "com1");
    EXPECT_EQ(sim.ReadState(), c.look);
    EXPECT_FALSE(port.isOpen);
    EXPECT_EQ(port.written.find("AT+CPIN="), std::string::npos);
  }
}

TEST(SerialSimLink, PortsThatDoNotOpen) {
  const std::pair<PortOpenResult, SimLook> table[] = {{PortOpenResult::NotFound, L::PortNotFound},
                                                      {PortOpenResult::Busy, L::PortBusy},
                                                      {PortOpenResult::Faulty, L::PortFaulty}};
  for (const auto& [result, look] : table) {
    FakePlatform platform;
    platform.Port("com1").openResult = result;
    SerialSimLink sim(platform, "com1");
    EXPECT_EQ(sim.ReadState(), look);
    EXPECT_FALSE(sim.ReadTries().answered);
  }
  FakePlatform platform;
  EXPECT_EQ(SerialSimLink(platform, "com9").ReadState(), L::PortNotFound);
}

// Each look takes the way of that moment: the service while it manages the
// port, the serial way otherwise; the PIN goes the console form's way.
TEST(PlatformSimLink, AsksTheServiceWhereItManagesThePort) {
  const std::string kOk = "\r\nOK\r\n";
  struct Case {
    const char* what;
    ServiceSimState state;
    std::optional<unsigned> tries;
    SimLook look;
  } cases[] = {
      {"PIN", ServiceSimState::PinRequired, 3u, L::WaitingForPin},
      {"PIN, one try", ServiceSimState::PinRequired, 1u, L::WaitingForPin},
      {"PIN, count unknown", ServiceSimState::PinRequired, std::nullopt, L::WaitingForPin},
      {"PUK", ServiceSimState::PukRequired, 0u, L::WaitingForPuk},
      {"unlocked", ServiceSimState::Unlocked, 3u, L::Ready},
      {"PIN request off", ServiceSimState::PinRequestOff, 3u, L::Ready},
      // Also a modem the service is still setting up: look again.
      {"no SIM or not yet known", ServiceSimState::NoSim, std::nullopt, L::NotReady},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakePlatform platform;
    testing::FakeModemService service;
    service.modems["com1"] = {c.state, ServiceReply::Accepted, {}, c.tries};
    platform.service = &service;
    // The serial way would answer otherwise, were it asked.
    platform.Port("com1").modem =
        Answers({{"AT\r", kOk}, {"AT+CPIN?\r", "\r\n+CPIN: READY\r\n" + kOk}}, false);
    PlatformSimLink sim(platform, "com1", 10000);
    EXPECT_EQ(sim.ReadState(), c.look);
    EXPECT_EQ(sim.ReadTries().pin, c.tries);
    EXPECT_EQ(platform.Port("com1").opens, 0);
    EXPECT_TRUE(service.modems["com1"].calls.empty());
  }
}

TEST(PlatformSimLink, WaitThroughTheServiceSendsOnceOrNotAtAll) {
  struct Case {
    const char* what;
    ServiceSimState state;
    std::optional<unsigned> tries;
    bool lastTry;
    ServiceReply reply;
    ConsoleOutcome outcome;
    std::vector<std::string> calls;
  } cases[] = {
      {"PIN accepted", ServiceSimState::PinRequired, 3u, false, ServiceReply::Accepted,
       O::Accepted, {"pin 12AB"}},
      {"wrong PIN", ServiceSimState::PinRequired, 3u, false, ServiceReply::WrongPassword,
       O::NotAccepted, {"pin 12AB"}},
      {"already unlocked", ServiceSimState::Unlocked, 3u, false, ServiceReply::Accepted,
       O::Accepted, {}},
      {"PUK", ServiceSimState::PukRequired, 0u, false, ServiceReply::Accepted, O::NotAccepted, {}},
      {"one try left", ServiceSimState::PinRequired, 1u, false, ServiceReply::Accepted,
       O::LastTryKept, {}},
      {"one try left, --last-try", ServiceSimState::PinRequired, 1u, true, ServiceReply::Accepted,
       O::Accepted, {"pin 12AB"}},
      {"never known", ServiceSimState::NoSim, std::nullopt, false, ServiceReply::Accepted,
       O::SimNotReady, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakePlatform platform;
    testing::FakeModemService service;
    service.modems["com1"] = {c.state, c.reply, {}, c.tries};
    platform.service = &service;
    PlatformSimLink sim(platform, "com1", 10000);
    const WaitResult result = WaitAndUnlock(platform, sim, "12ab", {3, c.lastTry});
    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_EQ(service.modems["com1"].calls, c.calls);
    EXPECT_EQ(platform.Port("com1").opens, 0);
  }
}

TEST(PlatformSimLink, FollowsTheServiceTakingThePortUpDuringTheWait) {
  FakePlatform platform;
  testing::FakeModemService service;
  platform.service = &service;
  auto& port = platform.Port("com1");
  port.openResult = PortOpenResult::Busy;
  PlatformSimLink sim(platform, "com1", 10000);
  EXPECT_EQ(sim.ReadState(), L::PortBusy);  // not yet the service's
  service.modems["com1"] = {ServiceSimState::PinRequired, ServiceReply::Accepted, {}, 3u};
  EXPECT_EQ(sim.ReadState(), L::WaitingForPin);
  EXPECT_EQ(port.opens, 0);
  service.modems.clear();  // the service let it go
  EXPECT_EQ(sim.ReadState(), L::PortBusy);
}

}  // namespace
}  // namespace tessivo
