#include "app/sim_forms.h"

#include <gtest/gtest.h>

#include "tests/support/fake_platform.h"

namespace tessivo {
namespace {

using testing::FakeModemService;
using testing::FakePlatform;
using O = ConsoleOutcome;
using L = SimLook;

// A SIM that answers as scripted, takes what it is sent, and counts tries.
class FormSim : public SimLink {
 public:
  explicit FormSim(FakePlatform& platform) : platform_(platform) {}
  SimLook ReadState() override {
    platform_.now += 300;
    if (!sent.empty() && stateAfterSend) return *stateAfterSend;
    return platform_.now >= definiteAt ? state : L::NotReady;
  }
  TriesLook ReadTries() override { return TriesLook{true, pin, puk}; }
  ConsoleOutcome SendPin(const std::string&) override { return O::NotAccepted; }
  ConsoleOutcome SendPuk(const std::string& p, const std::string& n) override {
    sent.push_back(p + " " + n);
    if (reply == O::NotAccepted && puk) --*puk;
    return reply;
  }
  ConsoleOutcome ChangePin(const std::string& o, const std::string& n) override {
    sent.push_back(o + " " + n);
    if (reply == O::NotAccepted && pin) --*pin;
    return reply;
  }
  std::optional<bool> ReadPinRequest() override { return request; }
  ModemIdentity ReadIdentity() override { return {"huawei", "e1550"}; }

  SimLook state = L::Ready;
  long definiteAt = 0;  // before it, the SIM is not ready
  std::optional<SimLook> stateAfterSend;
  std::optional<unsigned> pin = 3, puk = 10;
  std::optional<bool> request = true;
  ConsoleOutcome reply = O::Accepted;
  std::vector<std::string> sent;

 private:
  FakePlatform& platform_;
};

TEST(SimForms, StatusPerState) {
  struct Row {
    SimLook state;
    std::optional<unsigned> puk;
    std::optional<bool> request;
    O outcome;
    const char* sim;
    const char* pinRequest;
  };
  const Row table[] = {
      {L::WaitingForPin, 10, true, O::Accepted, "PIN wird erwartet", "an"},
      {L::WaitingForPuk, 10, true, O::Accepted, "PUK wird erwartet, PIN ist gesperrt", "an"},
      {L::WaitingForPuk, 0, true, O::Accepted, "SIM ist endg\xFCltig gesperrt", "unbekannt"},
      {L::Blocked, 0, true, O::Accepted, "SIM ist endg\xFCltig gesperrt", "unbekannt"},
      {L::Ready, 10, true, O::Accepted, "Modem ist freigegeben", "an"},
      {L::Ready, 10, false, O::Accepted, "PIN-Abfrage ist abgeschaltet", "aus"},
      {L::Ready, 10, std::nullopt, O::Accepted, "Modem ist freigegeben", "unbekannt"},
      {L::NotReady, 10, true, O::SimNotReady, "SIM nicht bereit", "unbekannt"},
      {L::PortNotFound, 10, true, O::PortNotFound, "unbekannt", "unbekannt"},
  };
  for (const Row& row : table) {
    SCOPED_TRACE(row.sim);
    FakePlatform platform;
    FormSim sim(platform);
    sim.state = row.state;
    sim.puk = row.puk;
    sim.request = row.request;
    const StatusFacts facts = ReadStatus(platform, sim, platform.now);
    EXPECT_EQ(facts.outcome, row.outcome);
    const std::string lines = StatusLines("com1", facts);
    EXPECT_NE(lines.find(std::string("\nSIM: ") + row.sim + "\n"), std::string::npos) << lines;
    EXPECT_NE(lines.find(std::string("\nPIN-Abfrage: ") + row.pinRequest + "\n"),
              std::string::npos)
        << lines;
    EXPECT_TRUE(sim.sent.empty());
  }
  FakePlatform platform;
  FormSim sim(platform);
  EXPECT_EQ(StatusLines("com1", ReadStatus(platform, sim, 0)),
            "Port: COM1 (seriell)\nModem: huawei e1550\nSIM: Modem ist freigegeben\n"
            "PIN-Versuche: 3\nPUK-Versuche: 10\nPIN-Abfrage: an\n");
}

TEST(SimForms, PukTable) {
  struct Row {
    const char* what;
    SimLook state;
    std::optional<unsigned> puk;
    bool lastTry;
    O reply;
    std::optional<SimLook> after;
    O outcome;
    std::size_t sent;
    const char* line;
  };
  const Row table[] = {
      {"right", L::WaitingForPuk, 10, false, O::Accepted, L::Ready, O::Accepted, 1,
       "SIM freigegeben; die PIN-Abfrage ist wieder an (Status 0)"},
      {"OK before READY", L::WaitingForPuk, 10, false, O::Accepted, std::nullopt, O::Accepted, 1,
       "noch nicht bereit: nicht wiederholen"},
      {"wrong", L::WaitingForPuk, 10, false, O::NotAccepted, std::nullopt, O::NotAccepted, 1,
       "PUK abgelehnt, noch 9 PUK-Versuche (Status 1)"},
      {"one try left", L::WaitingForPuk, 1, false, O::Accepted, L::Ready, O::LastTryKept, 0,
       "nur noch ein PUK-Versuch"},
      {"one try left, --last-try", L::WaitingForPuk, 1, true, O::Accepted, L::Ready, O::Accepted,
       1, "PUK angenommen"},
      {"no try left", L::WaitingForPuk, 0, true, O::Accepted, L::Ready, O::NotAccepted, 0,
       "gesperrt, nichts gesendet"},
      {"SIM waits for its PIN", L::WaitingForPin, 10, false, O::Accepted, L::Ready,
       O::NotAccepted, 0, "wartet auf die PIN, nicht auf die PUK, nichts gesendet (Status 1)"},
  };
  for (const Row& row : table) {
    SCOPED_TRACE(row.what);
    FakePlatform platform;
    FormSim sim(platform);
    sim.state = row.state;
    sim.puk = row.puk;
    sim.reply = row.reply;
    sim.stateAfterSend = row.after;
    const FormResult result =
        UnblockWithPuk(platform, sim, "12345678", "4321", {0, row.lastTry}, 0);
    EXPECT_EQ(result.outcome, row.outcome);
    EXPECT_EQ(sim.sent.size(), row.sent);
    EXPECT_NE(PukReport(result).find(row.line), std::string::npos) << PukReport(result);
  }
}

TEST(SimForms, ChangePinTable) {
  struct Row {
    const char* what;
    SimLook state;
    std::optional<bool> request;
    std::optional<unsigned> pin;
    bool lastTry;
    const char* oldPin;
    const char* newPin;
    O reply;
    O outcome;
    std::size_t sent;
    const char* line;
  };
  const Row table[] = {
      {"right", L::Ready, true, 3, false, "1234", "4321", O::Accepted, O::Accepted, 1,
       "PIN ge\xE4ndert (Status 0)"},
      {"letters in the old PIN", L::Ready, true, 3, false, "ab12", "4321", O::Accepted,
       O::Accepted, 1, "PIN ge\xE4ndert"},
      {"wrong old PIN", L::Ready, true, 3, false, "1111", "4321", O::NotAccepted,
       O::NotAccepted, 1, "alte PIN abgelehnt, noch 2 PIN-Versuche (Status 1)"},
      {"PIN request off", L::Ready, false, 3, false, "1234", "4321", O::Accepted,
       O::NotAccepted, 0, "erst einschalten, nichts gesendet"},
      {"SIM locked", L::WaitingForPin, true, 3, false, "1234", "4321", O::Accepted,
       O::NotAccepted, 0, "erst freigeben"},
      {"one try left", L::Ready, true, 1, false, "1234", "4321", O::Accepted, O::LastTryKept, 0,
       "nur noch ein PIN-Versuch"},
  };
  for (const Row& row : table) {
    SCOPED_TRACE(row.what);
    FakePlatform platform;
    FormSim sim(platform);
    sim.state = row.state;
    sim.request = row.request;
    sim.pin = row.pin;
    sim.reply = row.reply;
    const FormResult result =
        ChangeThePin(platform, sim, row.oldPin, row.newPin, {0, row.lastTry}, 0);
    EXPECT_EQ(result.outcome, row.outcome);
    EXPECT_EQ(sim.sent.size(), row.sent);
    const std::string line = ChangePinReport(result);
    EXPECT_NE(line.find(row.line), std::string::npos) << line;
  }
}

// With --wait the forms look until the SIM tells; without, one look decides.
TEST(SimForms, WaitForADefiniteState) {
  for (unsigned seconds : {0u, 10u}) {
    FakePlatform platform;
    FormSim sim(platform);
    sim.state = L::WaitingForPuk;
    sim.stateAfterSend = L::Ready;
    sim.definiteAt = 3000;
    const FormResult result = UnblockWithPuk(platform, sim, "12345678", "4321", {seconds, false},
                                             DeadlineIn(platform, seconds));
    EXPECT_EQ(result.outcome, seconds ? O::Accepted : O::SimNotReady);
    EXPECT_EQ(sim.sent.size(), seconds ? 1u : 0u);
  }
}

// The same forms through ModemManager's seam: the password goes to the
// service, never to the port.
TEST(SimForms, ThroughTheService) {
  struct Row {
    const char* what;
    int form;  // 0 status, 1 puk, 2 change-pin
    ServiceSimState state;
    O outcome;
    const char* call;  // "" for none
  };
  const Row table[] = {
      {"status", 0, ServiceSimState::PinRequired, O::Accepted, ""},
      {"PUK", 1, ServiceSimState::PukRequired, O::Accepted, "puk 12345678 4321"},
      {"new PIN", 2, ServiceSimState::Unlocked, O::Accepted, "change AB12 4321"},
  };
  for (const Row& row : table) {
    SCOPED_TRACE(row.what);
    FakePlatform platform;
    FakeModemService service;
    platform.service = &service;
    auto& modem = service.modems["com1"];
    modem.state = row.state;
    modem.stateAfterAccepted = ServiceSimState::Unlocked;
    modem.maker = "Huawei";
    modem.model = "E1550";
    const O outcome = row.form == 0   ? RunStatusForm(platform, "com1", {})
                      : row.form == 1 ? RunPukForm(platform, "com1", "12345678", "4321", {})
                                      : RunChangePinForm(platform, "com1", "ab12", "4321", {});
    EXPECT_EQ(outcome, row.outcome);
    EXPECT_EQ(modem.calls, *row.call ? std::vector<std::string>{row.call}
                                     : std::vector<std::string>{});
    EXPECT_TRUE(platform.Port("com1").log.empty());
    if (row.form == 0) {
      EXPECT_NE(platform.out.find("Port: COM1 (ModemManager)\nModem: huawei e1550\n"),
                std::string::npos)
          << platform.out;
    }
  }
}

}  // namespace
}  // namespace tessivo
