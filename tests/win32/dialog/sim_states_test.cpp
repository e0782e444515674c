// The SIM operations of Tessivo.exe's dialog under Wine, end to end against
// the virtual modem on COM1. Each registration in CMakeLists.txt starts the
// modem in one state and picks the tests meant for it; tests that share a
// registration run in the order written here, each finding the modem as the
// one before left it.
#include <gtest/gtest.h>

#include <string>

#include "operations/status_texts.h"
#include "tests/win32/dialog/remote_dialog.h"

// winuser.h names a hand cursor IDC_PIN; here it is the PIN field.
#undef IDC_PIN
#include "resources/resource.h"

namespace tessivo::win32test {
namespace {

void Retype(RemoteDialog& dialog, int id, const std::string& text) {
  SendMessageA(dialog.Control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
  dialog.Type(id, text);
}

void ExpectSwitch(const RemoteDialog& dialog, bool enabled, const char* caption) {
  EXPECT_EQ(dialog.Enabled(IDC_SWITCH), enabled);
  EXPECT_EQ(dialog.Text(IDC_SWITCH), caption);
}

void ExpectStatus(RemoteDialog& dialog, const char* text, const Colour& colour) {
  EXPECT_EQ(dialog.Text(IDC_STATUS), text);
  const Colour shown = dialog.WaitForBackground(IDC_STATUS, colour);
  EXPECT_EQ(shown, colour) << Describe(shown);
}

// A SIM waiting for PIN 1234 (the modem's default state).

// The probe must use the corrected name: "port1" itself would not open.
TEST(PinEntry, TypedPortNameIsShownNormalisedAndUsed) {
  RemoteDialog dialog(ProgramPath());
  Retype(dialog, IDC_PORT, "port1");
  dialog.Click(IDC_TEST_MODEM);
  EXPECT_EQ(dialog.Text(IDC_PORT), "COM1");
  ExpectStatus(dialog, texts::kPinRequired, kGrey);
}

// The modem sends its OK 3.2 s after the PIN (--late-final 3200), when the
// exchange has given up and only the late-reply collection still sees it.
TEST(PinEntry, OkAfterTheExchangeGaveUpStillCounts) {
  RemoteDialog dialog(ProgramPath());
  dialog.Type(IDC_PIN, "1234");
  dialog.Click(IDC_SEND_PIN);
  ExpectStatus(dialog, texts::kPinAccepted, kGrey);
}

struct WrongPinCase {
  const char* errorMode;  // how the modem reports errors (--cmee)
  const char* text;
};

class WrongPin : public ::testing::TestWithParam<WrongPinCase> {};

// The modem reports the wrong PIN as "incorrect password" only in verbose
// mode; a bare error number is nothing the dialog can read.
TEST_P(WrongPin, IsToldInOrangeRed) {
  RemoteDialog dialog(ProgramPath());
  dialog.Type(IDC_PIN, "9999");
  dialog.Click(IDC_SEND_PIN);
  ExpectStatus(dialog, GetParam().text, kOrangeRed);
  ExpectSwitch(dialog, true, texts::kSwitchOff);
}

INSTANTIATE_TEST_SUITE_P(ErrorModes, WrongPin,
                         ::testing::Values(WrongPinCase{"verbose", texts::kWrongPin},
                                           WrongPinCase{"numeric", texts::kUnexpectedReply}),
                         [](const auto& info) { return std::string(info.param.errorMode); });

// Other states of the SIM, each as the dialog finds it at its start.

TEST(SimStates, PukRequiredDisablesTheSwitch) {
  RemoteDialog dialog(ProgramPath());
  EXPECT_EQ(dialog.Text(IDC_PORT), "COM1");
  ExpectStatus(dialog, texts::kPukRequired, kOrangeRed);
  ExpectSwitch(dialog, false, texts::kSwitchUnavailable);
}

TEST(SimStates, PinRequestOffIsSwitchedOnAndTheCaptionTurns) {
  RemoteDialog dialog(ProgramPath());
  ExpectStatus(dialog, texts::kPinRequestOff, kOrangeRed);
  ExpectSwitch(dialog, true, texts::kSwitchOn);
  dialog.Type(IDC_PIN, "1234");
  dialog.Click(IDC_SWITCH);
  ExpectStatus(dialog, texts::kLockSwitchedOn, kGrey);
  ExpectSwitch(dialog, true, texts::kSwitchOff);
}

// Runs after the PIN request was switched on: the SIM stays unlocked until
// the modem restarts, and the probe must now see the request on.
TEST(SimStates, AlreadyUnlockedNeedsNoPin) {
  RemoteDialog dialog(ProgramPath());
  ExpectStatus(dialog, texts::kUnlocked, kGrey);
  ExpectSwitch(dialog, true, texts::kSwitchOff);
  dialog.Type(IDC_PIN, "1234");
  dialog.Click(IDC_SEND_PIN);  // nothing to unlock: the probe says why
  ExpectStatus(dialog, texts::kUnlocked, kGrey);
}

TEST(SimStates, NoSimIsNoModemToTalkTo) {
  RemoteDialog dialog(ProgramPath());
  // Discovery passes the port that answers with an error by.
  EXPECT_EQ(dialog.Text(IDC_PORT), texts::kNoPortFound);
  ExpectStatus(dialog, texts::kPortNotFound, kOrangeRed);
  ExpectSwitch(dialog, false, texts::kSwitchUnavailable);
  Retype(dialog, IDC_PORT, "COM1");
  dialog.Click(IDC_TEST_MODEM);
  ExpectStatus(dialog, texts::kNoModem, kOrangeRed);
  ExpectSwitch(dialog, false, texts::kSwitchUnavailable);
}

}  // namespace
}  // namespace tessivo::win32test
