// SimUnlockDialog and the framework layer on the fake window system: the
// initialisation, the data exchange with its checks, colours, brushes and
// fonts, cancel, the link and the painting of the minimised window.
#include <gtest/gtest.h>

#include <memory>

#include "resources/resource.h"
#include "tests/support/fake_dialog_host.h"
#include "tests/support/fake_platform.h"
#include "ui/sim_unlock_dialog.h"

namespace tessivo {
namespace {

using testing::FakeDialogHost;
using testing::FakePlatform;

// A dialog opened on its own fake window system; the window system outlives
// the dialog, as on screen.
struct Opened {
  explicit Opened(FakePlatform& platform, void (*prepare)(FakeDialogHost&) = nullptr)
      : host(Prepared(prepare)), dialog(platform, host) {
    host.Open(dialog);
  }
  static FakeDialogHost Prepared(void (*prepare)(FakeDialogHost&)) {
    FakeDialogHost host;
    if (prepare) prepare(host);
    return host;
  }
  FakeDialogHost host;
  SimUnlockDialog dialog;
};

class DialogTest : public ::testing::Test {
 protected:
  FakePlatform platform;  // no ports at all: discovery finds none
};

TEST_F(DialogTest, InitialisationSetsIconsFontsSwitchAndLimits) {
  Opened ui(platform);
  auto& host = ui.host;
  auto* dialog = &ui.dialog;
  ASSERT_TRUE(host.running());
  EXPECT_EQ(dialog->appIcon, FakeDialogHost::kAppIcon);
  ASSERT_EQ(host.iconsSet.size(), 2u);
  EXPECT_EQ(host.iconsSet[0], std::make_pair(FakeDialogHost::kAppIcon, true));
  EXPECT_EQ(host.iconsSet[1], std::make_pair(FakeDialogHost::kAppIcon, false));

  ASSERT_EQ(host.fontsCreated.size(), 2u);
  const LogFont& status = host.fontsCreated[0];
  const LogFont& link = host.fontsCreated[1];
  EXPECT_EQ(status.faceName, "Verdana");
  EXPECT_EQ(status.height, 18);
  EXPECT_EQ(status.weight, 700);
  EXPECT_FALSE(status.italic);
  EXPECT_EQ(link.faceName, "Verdana");
  EXPECT_EQ(link.height, 20);
  EXPECT_EQ(link.weight, 700);
  EXPECT_TRUE(link.italic);
  EXPECT_EQ(host.Control(IDC_STATUS).font, dialog->statusFont.handle());
  EXPECT_EQ(host.Control(IDC_WEB_LINK).font, dialog->linkFont.handle());
  EXPECT_EQ(host.Control(IDC_NOTICE).font, 0u) << "every other control keeps the template font";

  EXPECT_EQ(dialog->SwitchMode, 0) << "no modem: the probe leaves SwitchMode as initialised";
  EXPECT_FALSE(host.Enabled(IDC_SWITCH));
  EXPECT_NE(host.Text(IDC_STATUS), "#");
  EXPECT_EQ(host.Control(IDC_PORT).limit, 5);
  EXPECT_EQ(host.Control(IDC_PIN).limit, 4);
  EXPECT_EQ(host.focus, IDC_PORT);
  EXPECT_TRUE(host.messageBoxes.empty());
}

TEST_F(DialogTest, ControlMembersAreBoundToTheirControls) {
  Opened ui(platform);
  auto& host = ui.host;
  auto* dialog = &ui.dialog;
  const struct {
    CWnd& member;
    int id;
  } bindings[] = {{dialog->switchButton, IDC_SWITCH},
                  {dialog->statusStatic, IDC_STATUS},
                  {dialog->noticeStatic, IDC_NOTICE},
                  {dialog->linkStatic, IDC_WEB_LINK}};
  for (const auto& b : bindings) {
    EXPECT_EQ(b.member.GetDlgCtrlID(), b.id);
    b.member.SetWindowText("x");
    EXPECT_EQ(host.Text(b.id), "x");
  }
}

TEST_F(DialogTest, FetchChecksLengthsInBindingOrder) {
  const std::string limitPort = "Geben Sie bitte nicht mehr als 5 Zeichen ein.";
  const std::string limitPin = "Geben Sie bitte nicht mehr als 4 Zeichen ein.";
  const struct {
    const char* name;
    std::string port, pin;
    bool passes;
    std::string message;
    int focus;
    // What the members hold afterwards (they start as "old").
    std::string portAfter, pinAfter, statusAfter;
  } cases[] = {
      {"both within limits", "COM12", "1234", true, "", IDC_PORT, "COM12", "1234", "s"},
      {"port too long", "COM123", "1234", false, limitPort, IDC_PORT, "COM123", "old", "old"},
      {"pin too long", "COM1", "12345", false, limitPin, IDC_PIN, "COM1", "12345", "old"},
      {"both too long: first wins", "COM123", "12345", false, limitPort, IDC_PORT, "COM123", "old",
       "old"},
      {"empty fields", "", "", true, "", IDC_PORT, "", "", "s"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Opened ui(platform);
    auto& host = ui.host;
    auto* dialog = &ui.dialog;
    // Set by the program, which the typing limits do not stop.
    host.SetControlText(IDC_PORT, c.port);
    host.SetControlText(IDC_PIN, c.pin);
    host.SetControlText(IDC_STATUS, "s");
    dialog->portName = dialog->pin = dialog->statusText = "old";
    host.focus = 0;
    host.messageBoxes.clear();

    EXPECT_EQ(dialog->FetchFields(), c.passes);
    EXPECT_EQ(dialog->portName, c.portAfter);
    EXPECT_EQ(dialog->pin, c.pinAfter);
    EXPECT_EQ(dialog->statusText, c.statusAfter);
    if (c.passes) {
      EXPECT_TRUE(host.messageBoxes.empty());
    } else {
      EXPECT_EQ(host.messageBoxes, std::vector<std::string>{c.message});
      EXPECT_EQ(host.focus, c.focus);
      EXPECT_TRUE(host.allSelected);
    }
  }
}

TEST_F(DialogTest, ShowPutsMembersIntoControlsAndKeepsTypingLimits) {
  Opened ui(platform);
  auto& host = ui.host;
  auto* dialog = &ui.dialog;
  dialog->portName = "COM7";
  dialog->pin = "";
  dialog->statusText = "\n\nPIN wurde akzeptiert";
  host.Control(IDC_PORT).limit = 0;
  dialog->ShowFields();
  EXPECT_EQ(host.Text(IDC_PORT), "COM7");
  EXPECT_EQ(host.Text(IDC_PIN), "");
  EXPECT_EQ(host.Text(IDC_STATUS), "\n\nPIN wurde akzeptiert");
  EXPECT_EQ(host.Control(IDC_PORT).limit, 5);

  host.Type(IDC_PORT, "COM123456");
  host.Type(IDC_PIN, "123456");
  EXPECT_EQ(host.Text(IDC_PORT), "COM12");
  EXPECT_EQ(host.Text(IDC_PIN), "1234");
  EXPECT_TRUE(dialog->FetchFields());
  EXPECT_TRUE(host.messageBoxes.empty()) << "what the user can type always passes";
}

TEST_F(DialogTest, RepaintNowPaintsAtOnce) {
  Opened ui(platform);
  auto& host = ui.host;
  auto* dialog = &ui.dialog;
  host.repaints.clear();
  dialog->statusText = "\n\n.";
  dialog->ShowFields();
  dialog->RepaintNow();
  ASSERT_EQ(host.repaints.size(), 1u);
  EXPECT_EQ(host.repaints[0].statusText, "\n\n.");
}

TEST_F(DialogTest, StatusAndLinkColours) {
  Opened ui(platform);
  auto& host = ui.host;
  auto* dialog = &ui.dialog;
  const struct {
    bool isError;
    Rgb background;
  } cases[] = {{false, {200, 200, 200}}, {true, {200, 90, 50}}, {false, {200, 200, 200}}};
  for (const auto& c : cases) {
    dialog->statusIsError = c.isError;
    EXPECT_EQ(host.StatusBackground(), c.background);
    EXPECT_EQ(host.TextColour(IDC_STATUS), std::nullopt) << "the text colour never changes";
  }
  EXPECT_EQ(host.brushesCreated, 2) << "one brush per colour, made once";

  const Rgb darkBlue{0, 43, 127};
  EXPECT_EQ(host.TextColour(IDC_WEB_LINK), darkBlue);
  EXPECT_EQ(host.TextColour(IDC_NOTICE), darkBlue);
  EXPECT_EQ(host.TextColour(IDC_PORT), std::nullopt);
  EXPECT_EQ(host.TextColour(IDC_STATIC), std::nullopt);
}

TEST_F(DialogTest, DestroyingTheDialogReleasesFontsAndBrushes) {
  FakeDialogHost host;
  auto dialog = std::make_unique<SimUnlockDialog>(platform, host);
  host.Open(*dialog);
  dialog->statusIsError = true;
  host.StatusBackground();
  dialog->statusIsError = false;
  host.StatusBackground();
  EXPECT_EQ(host.liveObjects.size(), 4u);
  host.PressEscape();
  dialog.reset();
  EXPECT_TRUE(host.liveObjects.empty());
}

TEST_F(DialogTest, AFailedFontLeavesTheTemplateFont) {
  Opened ui(platform, [](FakeDialogHost& h) { h.failFontCreation = true; });
  auto& host = ui.host;
  auto* dialog = &ui.dialog;
  EXPECT_EQ(dialog->statusFont.handle(), 0u);
  EXPECT_EQ(host.Control(IDC_STATUS).fontChanges, 0) << "no font handed to the control";
  EXPECT_EQ(host.Control(IDC_WEB_LINK).fontChanges, 0);
  EXPECT_TRUE(host.messageBoxes.empty()) << "not reported";
}

// The status and link fonts are sized in pixels, so they must grow with the
// screen's scale like the template font does: at start-up, and when the
// window moves to a screen of another scale.
TEST_F(DialogTest, TheFontsFollowTheScreensScale) {
  const struct {
    int startDpi;
    int movedToDpi;  // 0: not moved
    int statusHeight, linkHeight;
  } cases[] = {
      {96, 0, 18, 20},   {120, 0, 23, 25},  {144, 0, 27, 30},
      {192, 0, 36, 40},  {96, 144, 27, 30}, {144, 96, 18, 20},
      {96, 120, 23, 25}, {120, 192, 36, 40},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.startDpi) + " -> " + std::to_string(c.movedToDpi));
    FakePlatform noModem;
    FakeDialogHost host;
    host.dpi = c.startDpi;
    SimUnlockDialog dialog(noModem, host);
    host.Open(dialog);
    if (c.movedToDpi) host.MoveToScreen(c.movedToDpi);

    const GdiObject status = dialog.statusFont.handle();
    const GdiObject link = dialog.linkFont.handle();
    EXPECT_EQ(host.Control(IDC_STATUS).font, status);
    EXPECT_EQ(host.Control(IDC_WEB_LINK).font, link);
    EXPECT_EQ(host.Control(IDC_NOTICE).font, 0u);
    EXPECT_EQ(host.liveObjects[status], "font Verdana " + std::to_string(c.statusHeight));
    EXPECT_EQ(host.liveObjects[link], "font Verdana " + std::to_string(c.linkHeight));
    EXPECT_EQ(host.liveObjects.size(), 2u) << "the fonts of the old scale are deleted";
    EXPECT_EQ(host.fontsDeletedInUse, 0) << "a control kept a deleted font";
    const LogFont& lastLink = host.fontsCreated.back();
    EXPECT_TRUE(lastLink.italic);
    EXPECT_EQ(lastLink.weight, 700);
    EXPECT_FALSE(host.fontsCreated[host.fontsCreated.size() - 2].italic);
  }
}

TEST_F(DialogTest, FontsThatCannotBeMadeForANewScaleKeepTheOldOnes) {
  Opened ui(platform);
  const GdiObject status = ui.dialog.statusFont.handle();
  const GdiObject link = ui.dialog.linkFont.handle();
  ui.host.failFontCreation = true;
  ui.host.MoveToScreen(144);
  EXPECT_EQ(ui.dialog.statusFont.handle(), status);
  EXPECT_EQ(ui.dialog.linkFont.handle(), link);
  EXPECT_EQ(ui.host.Control(IDC_STATUS).font, status);
  EXPECT_EQ(ui.host.Control(IDC_WEB_LINK).font, link);
  EXPECT_EQ(ui.host.liveObjects.size(), 2u);
}

TEST_F(DialogTest, EveryWayOutCancelsWithoutExchange) {
  const struct {
    const char* name;
    void (*leave)(FakeDialogHost&);
  } ways[] = {
      {"Beenden", [](FakeDialogHost& h) { h.Click(kIdCancel); }},
      {"Esc", [](FakeDialogHost& h) { h.PressEscape(); }},
      {"close box", [](FakeDialogHost& h) { h.CloseBox(); }},
  };
  for (const auto& way : ways) {
    SCOPED_TRACE(way.name);
    Opened ui(platform);
    auto& host = ui.host;
    host.SetControlText(IDC_PORT, "COM123");  // would fail a fetch
    way.leave(host);
    EXPECT_FALSE(host.running());
    EXPECT_EQ(host.endCode, kIdCancel);
    EXPECT_TRUE(host.messageBoxes.empty());
  }
}

TEST_F(DialogTest, DoModalReturnsTheEndCode) {
  FakeDialogHost host;
  host.whileRunning = [](FakeDialogHost& h) { h.PressEscape(); };
  SimUnlockDialog modal(platform, host);
  EXPECT_EQ(modal.DoModal(), kIdCancel);
}

TEST_F(DialogTest, LinkClickOpensTheWebAddress) {
  Opened ui(platform);
  auto& host = ui.host;
  host.Click(IDC_WEB_LINK);
  EXPECT_EQ(host.shellOpens, std::vector<std::string>{TESSIVO_WEB_ADDRESS});
  EXPECT_TRUE(host.running());
}

TEST_F(DialogTest, TheWebAddressIsOnlyAPlaceholder) {
  const std::string address = TESSIVO_WEB_ADDRESS;
  EXPECT_EQ(address.rfind("https://", 0), 0u);
  EXPECT_NE(address.find(".test/"), std::string::npos) << "nobody's domain";
}

TEST_F(DialogTest, MinimisedWindowPaintsTheIconCentred) {
  Opened ui(platform);
  auto& host = ui.host;
  auto* dialog = &ui.dialog;
  host.minimised = true;
  host.paintLog.clear();
  dialog->DispatchPaint();
  // Client 160 x 28, icon 32 x 32: x = 129 / 2, y = -3 / 2 truncated.
  const std::vector<std::string> expected = {
      "begin", "erase icon background",
      "icon " + std::to_string(FakeDialogHost::kAppIcon) + " at 64,-1", "end"};
  EXPECT_EQ(host.paintLog, expected);

  host.minimised = false;
  host.paintLog.clear();
  dialog->DispatchPaint();
  EXPECT_EQ(host.paintLog, std::vector<std::string>{"default"});
  EXPECT_EQ(dialog->DispatchQueryDragIcon(), FakeDialogHost::kAppIcon);
}

TEST_F(DialogTest, AMissingControlIsAnInternalFailure) {
  Opened ui(platform, [](FakeDialogHost& h) { h.missingControls = {IDC_NOTICE}; });
  auto& host = ui.host;
  EXPECT_EQ(host.messageBoxes.front(), "Interner Anwendungsfehler.");
  EXPECT_EQ(host.endCode, -1);
}

}  // namespace
}  // namespace tessivo
