// A window system for unit tests: no Qt, no Win32, no display. It builds the
// controls of a dialog's template as plain records, runs the dialog's
// initialisation, and lets a test type, click, press keys and look at what
// the dialog did: texts, enabled states, typing limits, fonts, the immediate
// repaints (with the status text and colour each one showed), message boxes
// (answered at once with OK) and the web addresses handed to the shell.
//
//   testing::FakePlatform platform;
//   testing::FakeDialogHost host;
//   SimUnlockDialog dialog(platform, host);
//   host.Open(dialog);                 // initialisation steps 1 to 9
//   host.Type(IDC_PIN, "1234");        // as the user types: limit applies
//   host.Click(IDC_SEND_PIN);
//   EXPECT_EQ(host.Text(IDC_STATUS), "\n\nPIN wurde akzeptiert");
//   EXPECT_EQ(host.StatusBackground(), dialog_style::kStatusNormal);
//   host.PressEscape();                // ends the run with 2
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "framework/dialog.h"
#include "framework/dialog_template.h"

namespace tessivo::testing {

struct FakeControl {
  ControlTemplate source;  // as the template made it
  std::string text;
  bool enabled = true;
  int limit = 0;       // typing limit; 0 = the system's default
  GdiObject font = 0;  // 0 = the template font
  int fontChanges = 0;
  bool IsEdit() const { return source.className == "Edit"; }
  bool IsPushButton() const { return source.className == "Button"; }
};

// What one immediate repaint (UpdateWindow) put on the screen.
struct Repaint {
  std::string statusText;
  std::optional<Rgb> statusBackground;
};

class FakeDialogHost : public WindowSystem {
 public:
  // --- Driving the dialog.
  // Builds the dialog's controls and runs its initialisation, as the modal
  // run would, then returns with the dialog still running.
  void Open(CDialog& dialog);
  // What DoModal does here: Open, then the script (if any), then the code
  // given to EndDialog; -2 when the script left the dialog running.
  std::function<void(FakeDialogHost&)> whileRunning;

  // As the user types into an edit: text beyond the typing limit is refused.
  void Type(int id, const std::string& text);
  // A click on a control; nothing happens on a disabled one, as on screen.
  void Click(int id);
  // Enter: the focused push button, else the default push button.
  void PressEnter();
  void PressEscape() { Click(kIdCancel); }
  void CloseBox() { dialog_->DispatchClick(kIdCancel); }
  void SetFocus(int id) { focus = id; }
  // The window moves to a screen of `newDpi` dots per inch.
  void MoveToScreen(int newDpi) {
    dpi = newDpi;
    dialog_->DispatchDpiChanged(newDpi);
  }

  // --- Looking at it.
  bool running() const { return running_; }
  std::optional<int> endCode;
  FakeControl& Control(int id);
  const std::string& Text(int id) { return Control(id).text; }
  bool Enabled(int id) { return Control(id).enabled; }
  // Asks the dialog for the status area's colours as a paint would.
  std::optional<Rgb> StatusBackground();
  // Text colour the dialog gives a control when it is drawn (none: standard).
  std::optional<Rgb> TextColour(int id);

  std::vector<Repaint> repaints;
  std::vector<std::string> messageBoxes;
  std::vector<std::string> shellOpens;
  std::vector<std::pair<IconHandle, bool>> iconsSet;  // icon, big
  int focus = 0;
  bool allSelected = false;  // the focused edit's text is selected
  bool minimised = false;
  int dpi = kUnscaledDpi;  // of the screen the window is on
  std::vector<std::string> paintLog;  // what the paint handler did

  // Graphics objects: description of every live one, by handle.
  std::map<GdiObject, std::string> liveObjects;
  std::vector<LogFont> fontsCreated;
  int brushesCreated = 0;
  // Fonts deleted while a control of the running dialog still had them: a
  // control would paint with a font that no longer exists.
  int fontsDeletedInUse = 0;
  bool failFontCreation = false;
  // Controls to leave out of the window, to make an exchange fail.
  std::vector<int> missingControls;

  static constexpr IconHandle kAppIcon = 0x128;
  static constexpr GdiObject kStandardBrush = 0x5eed;

  // --- WindowSystem.
  GdiObject CreateFontIndirect(const LogFont& font) override;
  GdiObject CreateSolidBrush(Rgb colour) override;
  void DeleteObject(GdiObject object) override;
  IconHandle LoadIcon(int resourceId) override;
  void Enable3dControls() override {}
  int DialogBox(int templateId, CDialog& dialog) override;
  void EndDialog(int code) override;
  bool HasControl(int id) override;
  std::string GetControlText(int id) override { return Control(id).text; }
  void SetControlText(int id, const std::string& text) override { Control(id).text = text; }
  void EnableControl(int id, bool enable) override { Control(id).enabled = enable; }
  bool IsControlEnabled(int id) override { return Control(id).enabled; }
  void LimitText(int id, int maxChars) override { Control(id).limit = maxChars; }
  void FocusAndSelectAll(int id) override;
  void SetControlFont(int id, GdiObject font, bool) override {
    Control(id).font = font;
    ++Control(id).fontChanges;
  }
  void SetIcon(IconHandle icon, bool big) override { iconsSet.emplace_back(icon, big); }
  int WindowDpi() override { return dpi; }
  void UpdateWindow() override;
  void MessageBox(const std::string& text) override { messageBoxes.push_back(text); }
  void ShellOpen(const std::string& address) override { shellOpens.push_back(address); }
  bool IsIconic() override { return minimised; }
  Size ClientSize() override { return {160, 28}; }
  Size SystemIconSize() override { return {32, 32}; }
  std::unique_ptr<CDC> BeginPaint() override;
  void EndPaint(CDC&) override { paintLog.push_back("end"); }
  void EraseIconBackground(CDC&) override { paintLog.push_back("erase icon background"); }
  void DefaultPaint() override { paintLog.push_back("default"); }
  GdiObject DefaultCtlColor(CDC&, int) override { return kStandardBrush; }

 private:
  struct Colours {
    std::optional<Rgb> text, background;
    GdiObject brush = 0;
  };
  Colours AskColours(int id);

  CDialog* dialog_ = nullptr;
  bool running_ = false;
  std::vector<FakeControl> controls_;
  GdiObject nextHandle_ = 1;
  std::map<GdiObject, Rgb> brushColours_;
};

}  // namespace tessivo::testing
