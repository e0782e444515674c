// The whole dialog end to end on Linux: the Qt window under the offscreen
// platform, the real serial layer, and the virtual modem on a real
// pseudo-terminal. A test clicks and types like a user and looks at what the
// window shows, what went over the wire and which tones sounded.
#include <gtest/gtest.h>

#include <QApplication>
#include <chrono>
#include <cstdlib>

#include "operations/status_texts.h"
#include "resources/resource.h"
#include "tests/integration/fault_matrix.h"
#include "tests/support/hostile_modem.h"
#include "tests/support/process.h"
#include "tests/support/qt_dialog_run.h"
#include "ui/sim_unlock_dialog.h"

namespace tessivo::testing {
namespace {

const QColor kGrey(200, 200, 200);
const QColor kOrangeRed(200, 90, 50);

// One run of the dialog with virtual modems linked into a port folder.
class DialogRun : public QtDialogRun {
 public:
  DialogRun() { setenv("TESSIVO_PORT_DIR", dir_.path().c_str(), 1); }

  // A virtual modem as COMn (n from the name).
  VirtualModem& Modem(const std::string& port, const std::vector<std::string>& options) {
    modems_.push_back(std::make_unique<VirtualModem>(dir_ / port, options, dir_ / (port + ".log")));
    EXPECT_TRUE(modems_.back()->running());
    return *modems_.back();
  }

  // A hostile modem as COMn.
  HostileModem& Hostile(const std::string& port, const HostileBehaviour& behaviour) {
    hostiles_.push_back(std::make_unique<HostileModem>(dir_ / port, behaviour));
    EXPECT_TRUE(hostiles_.back()->running());
    return *hostiles_.back();
  }
  std::string PortPath(const std::string& port) const { return dir_ / port; }

 private:
  TempDir dir_;
  std::vector<std::unique_ptr<VirtualModem>> modems_;
  std::vector<std::unique_ptr<HostileModem>> hostiles_;
};

void ExpectTones(const std::vector<CapturedTone>& tones, std::size_t count, double hz, double ms) {
  ASSERT_EQ(tones.size(), count);
  for (const auto& tone : tones) {
    EXPECT_NEAR(tone.hz, hz, hz * 0.02);
    EXPECT_NEAR(tone.ms, ms, 1.0);
  }
}

TEST(DialogEndToEnd, StartsWithTheSimWaitingForItsPin) {
  DialogRun run;
  run.Modem("com3", {});
  run.Show([&](SimUnlockDialog&) {
    EXPECT_EQ(run.Text(IDC_PORT), "COM3");
    EXPECT_EQ(run.Text(IDC_STATUS), texts::kPinRequired);
    EXPECT_EQ(run.StatusColour(), kGrey);
    EXPECT_TRUE(run.Enabled(IDC_SWITCH));
    EXPECT_EQ(run.Text(IDC_SWITCH), texts::kSwitchOff);
  });
  EXPECT_TRUE(run.Tones().empty());
}

TEST(DialogEndToEnd, RightPinIsAcceptedWithTheHighTone) {
  DialogRun run;
  VirtualModem& modem = run.Modem("com1", {});
  run.Show([&](SimUnlockDialog&) {
    run.TypeInto(IDC_PIN, "1234");
    run.PressEnterIn(IDC_PIN);  // Enter runs "PIN senden"
    EXPECT_EQ(run.Text(IDC_STATUS), texts::kPinAccepted);
    EXPECT_EQ(run.StatusColour(), kGrey);
  });
  ExpectTones(run.Tones(), 1, 3000, 200);
  EXPECT_NE(modem.BytesIn().find("AT+CPIN=1234\r"), std::string::npos);
  EXPECT_NE(modem.Output().find("SIM unlocked"), std::string::npos);
}

struct WrongPinCase {
  const char* what;
  const char* cmee;
  const char* text;
};

void PrintTo(const WrongPinCase& c, std::ostream* out) {
  *out << c.what;
}

class WrongPin : public ::testing::TestWithParam<WrongPinCase> {};

TEST_P(WrongPin, IsToldInOrangeRedWithTheLowTones) {
  DialogRun run;
  run.Modem("com1", {"--cmee", GetParam().cmee});
  run.Show([&](SimUnlockDialog&) {
    run.TypeInto(IDC_PIN, "9999");
    run.Click(IDC_SEND_PIN);
    EXPECT_EQ(run.Text(IDC_STATUS), GetParam().text);
    EXPECT_EQ(run.StatusColour(), kOrangeRed);
  });
  ExpectTones(run.Tones(), 2, 120, 400);
}

INSTANTIATE_TEST_SUITE_P(ErrorModes, WrongPin,
                         ::testing::Values(WrongPinCase{"verbose", "2", texts::kWrongPin},
                                           WrongPinCase{"numeric", "1", texts::kUnexpectedReply}),
                         [](const auto& info) { return std::string(info.param.what); });

TEST(DialogEndToEnd, OkAfterTheExchangeGaveUpStillCounts) {
  DialogRun run;
  run.Modem("com1", {"--echo", "off", "--late-final", "3200"});
  run.Show([&](SimUnlockDialog&) {
    run.TypeInto(IDC_PIN, "1234");
    run.Click(IDC_SEND_PIN);
    EXPECT_EQ(run.Text(IDC_STATUS), texts::kPinAccepted);
  });
  ExpectTones(run.Tones(), 1, 3000, 200);
}

TEST(DialogEndToEnd, SimAskingForItsPukDisablesTheSwitch) {
  DialogRun run;
  run.Modem("com1", {"--state", "puk"});
  run.Show([&](SimUnlockDialog&) {
    EXPECT_EQ(run.Text(IDC_STATUS), texts::kPukRequired);
    EXPECT_EQ(run.StatusColour(), kOrangeRed);
    EXPECT_FALSE(run.Enabled(IDC_SWITCH));
    EXPECT_EQ(run.Text(IDC_SWITCH), texts::kSwitchUnavailable);
  });
}

TEST(DialogEndToEnd, PinRequestOffIsSwitchedOnAndTheCaptionTurns) {
  DialogRun run;
  VirtualModem& modem = run.Modem("com1", {"--lock", "off"});
  run.Show([&](SimUnlockDialog& dialog) {
    EXPECT_EQ(run.Text(IDC_STATUS), texts::kPinRequestOff);
    EXPECT_EQ(run.Text(IDC_SWITCH), texts::kSwitchOn);
    run.TypeInto(IDC_PIN, "1234");
    run.Click(IDC_SWITCH);
    EXPECT_EQ(run.Text(IDC_STATUS), texts::kLockSwitchedOn);
    EXPECT_EQ(run.Text(IDC_SWITCH), texts::kSwitchOff);
    EXPECT_EQ(dialog.SwitchMode, 2);
  });
  EXPECT_NE(modem.BytesIn().find("AT+CLCK=\"SC\",1,\"1234\"\r"), std::string::npos);
  EXPECT_NE(modem.Output().find("switched on"), std::string::npos);
  EXPECT_TRUE(run.Tones().empty());
}

TEST(DialogEndToEnd, SimAlreadyUnlocked) {
  DialogRun run;
  run.Modem("com1", {"--state", "ready"});
  run.Show([&](SimUnlockDialog&) {
    EXPECT_EQ(run.Text(IDC_STATUS), texts::kUnlocked);
    run.TypeInto(IDC_PIN, "1234");
    run.Click(IDC_SEND_PIN);  // nothing to unlock: the probe says why, no tone
    EXPECT_EQ(run.Text(IDC_STATUS), texts::kUnlocked);
  });
  EXPECT_TRUE(run.Tones().empty());
}

TEST(DialogEndToEnd, NoSimIsNoModemToTalkTo) {
  DialogRun run;
  run.Modem("com1", {"--state", "nosim"});
  run.Show([&](SimUnlockDialog&) {
    // Discovery passes a port that answers with an error by.
    EXPECT_EQ(run.Text(IDC_PORT), texts::kNoPortFound);
    run.TypeInto(IDC_PORT, "COM1");
    run.Click(IDC_TEST_MODEM);
    EXPECT_EQ(run.Text(IDC_STATUS), texts::kNoModem);
  });
}

TEST(DialogEndToEnd, NoPortAtAll) {
  DialogRun run;
  run.Show([&](SimUnlockDialog&) {
    EXPECT_EQ(run.Text(IDC_PORT), texts::kNoPortFound);
    EXPECT_EQ(run.Text(IDC_STATUS), texts::kPortNotFound);
    EXPECT_FALSE(run.Enabled(IDC_SWITCH));
    EXPECT_EQ(run.Text(IDC_SWITCH), texts::kSwitchUnavailable);
  });
}

TEST(DialogEndToEnd, TypedPortNameIsNormalised) {
  DialogRun run;
  run.Modem("com7", {});
  run.Show([&](SimUnlockDialog&) {
    run.TypeInto(IDC_PORT, "port7");
    run.Click(IDC_TEST_MODEM);
    EXPECT_EQ(run.Text(IDC_PORT), "COM7");
    EXPECT_EQ(run.Text(IDC_STATUS), texts::kPinRequired);
  });
}

// The fault matrix's reply rows through the dialog: what the status area
// says, the tones, the command on the wire, the time the click takes, and the
// port free afterwards.
class FaultMatrixDialog : public ::testing::TestWithParam<FaultRow> {
 protected:
  // Clicks `button` with the PIN typed; returns how long the click took.
  long Run(int button, const char* text, const char* caption, const std::string& command) {
    const FaultRow& row = GetParam();
    DialogRun run;
    HostileModem& modem = run.Hostile("com1", row.modem);
    long tookMs = 0;
    run.Show([&](SimUnlockDialog&) {
      EXPECT_EQ(run.Text(IDC_PORT), "COM1");
      run.TypeInto(IDC_PIN, row.pin);
      const auto start = std::chrono::steady_clock::now();
      run.Click(button);
      tookMs = static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now() - start)
                                     .count());
      EXPECT_EQ(run.Text(IDC_STATUS), text);
      EXPECT_EQ(run.Text(IDC_SWITCH), caption);
    });
    EXPECT_NE(modem.BytesIn().find(command), std::string::npos) << modem.BytesIn();
    ExpectFreeAtOnce(run.PortPath("com1"));
    tones_ = run.Tones();
    return tookMs;
  }
  std::vector<CapturedTone> tones_;
};

// The probe before the command, the signal after it: about 1 s and at most
// 1 s more than the console form's exchange.
constexpr long kProbeAndSignalMs = 2500;

TEST_P(FaultMatrixDialog, PinSenden) {
  const FaultRow& row = GetParam();
  const bool accepted = row.status == 0;
  const long took = Run(IDC_SEND_PIN, row.dialogText, texts::kSwitchOff,
                        std::string("AT+CPIN=") + row.pin + "\r");
  EXPECT_LT(took, static_cast<long>(row.bound) + kProbeAndSignalMs);
  if (accepted) {
    ExpectTones(tones_, 1, 3000, 200);
  } else {
    ExpectTones(tones_, 2, 120, 400);
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, FaultMatrixDialog, ::testing::ValuesIn(DialogRows(false)),
                         [](const auto& info) { return std::string(info.param.name); });

class FaultMatrixSwitch : public FaultMatrixDialog {};

TEST_P(FaultMatrixSwitch, PinRequestOff) {
  const FaultRow& row = GetParam();
  const bool accepted = row.status == 0;
  const long took = Run(IDC_SWITCH, accepted ? texts::kLockSwitchedOff : row.dialogText,
                        accepted ? texts::kSwitchOn : texts::kSwitchOff,
                        std::string("AT+CLCK=\"SC\",0,\"") + row.pin + "\"\r");
  EXPECT_LT(took, static_cast<long>(row.bound) + kProbeAndSignalMs);
  EXPECT_TRUE(tones_.empty());
}

INSTANTIATE_TEST_SUITE_P(Rows, FaultMatrixSwitch, ::testing::ValuesIn(DialogRows(true)),
                         [](const auto& info) { return std::string(info.param.name); });

// Discovery on real ports: a GPS receiver's sentences on COM1, an empty port
// on COM2, and the modem (or none) on COM3.
TEST(DiscoveryEndToEnd, TheModemBeatsNoiseAndAnEmptyPortBeforeIt) {
  DialogRun run;
  run.Hostile("com1", Streams(HostileBehaviour::Stream::NmeaSentences, 1000000));
  run.Hostile("com2", Streams(HostileBehaviour::Stream::None, 0));
  run.Modem("com3", {});
  run.Show([&](SimUnlockDialog&) {
    EXPECT_EQ(run.Text(IDC_PORT), "COM3");
    EXPECT_EQ(run.Text(IDC_STATUS), texts::kPinRequired);
  });
}

TEST(DiscoveryEndToEnd, WithoutAModemTheFirstPortWithoutAnErrorNoiseOrNot) {
  DialogRun run;
  run.Hostile("com1", Streams(HostileBehaviour::Stream::NmeaSentences, 1000000));
  run.Hostile("com2", Streams(HostileBehaviour::Stream::None, 0));
  run.Show([&](SimUnlockDialog&) {
    EXPECT_EQ(run.Text(IDC_PORT), "COM1");
    EXPECT_EQ(run.Text(IDC_STATUS), texts::kNoModem);
  });
}

}  // namespace
}  // namespace tessivo::testing

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
