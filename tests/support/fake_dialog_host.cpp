#include "tests/support/fake_dialog_host.h"

#include <algorithm>
#include <stdexcept>

#include "resources/resource.h"

namespace tessivo::testing {
namespace {

// Records what a control-colour request or a paint does to its surface.
class RecordingDc : public CDC {
 public:
  explicit RecordingDc(std::vector<std::string>* log = nullptr) : log_(log) {}
  void SetTextColor(Rgb colour) override { text = colour; }
  void SetBkColor(Rgb colour) override { background = colour; }
  void DrawIcon(int x, int y, IconHandle icon) override {
    if (log_) {
      log_->push_back("icon " + std::to_string(icon) + " at " + std::to_string(x) + "," +
                      std::to_string(y));
    }
  }
  std::optional<Rgb> text, background;

 private:
  std::vector<std::string>* log_;
};

}  // namespace

void FakeDialogHost::Open(CDialog& dialog) {
  const DialogTemplate* source = FindDialogTemplate(dialog.templateId());
  if (!source) throw std::logic_error("no such dialog template");
  dialog_ = &dialog;
  controls_.clear();
  for (const auto& control : source->controls) {
    if (std::count(missingControls.begin(), missingControls.end(), control.id)) continue;
    FakeControl made;
    made.source = control;
    made.text = control.text;
    controls_.push_back(made);
  }
  running_ = true;
  endCode.reset();
  const bool defaultFocus = dialog.DispatchInitDialog();
  if (defaultFocus) {
    // The dialog manager's choice: the first control with a tab stop.
    for (const auto& control : controls_) {
      if (control.source.style & style::kTabStop) {
        focus = control.source.id;
        break;
      }
    }
  }
}

int FakeDialogHost::DialogBox(int, CDialog& dialog) {
  Open(dialog);
  if (running_ && whileRunning) whileRunning(*this);
  return endCode.value_or(-2);
}

void FakeDialogHost::EndDialog(int code) {
  running_ = false;
  endCode = code;
}

FakeControl& FakeDialogHost::Control(int id) {
  for (auto& control : controls_) {
    if (control.source.id == id) return control;
  }
  throw std::out_of_range("no control " + std::to_string(id));
}

bool FakeDialogHost::HasControl(int id) {
  return std::any_of(controls_.begin(), controls_.end(),
                     [id](const FakeControl& c) { return c.source.id == id; });
}

void FakeDialogHost::Type(int id, const std::string& text) {
  FakeControl& control = Control(id);
  control.text = text;
  if (control.limit > 0 && control.text.size() > static_cast<std::size_t>(control.limit)) {
    control.text.resize(control.limit);
  }
}

void FakeDialogHost::Click(int id) {
  if (id != kIdCancel || HasControl(kIdCancel)) {
    if (!Control(id).enabled) return;
  }
  dialog_->DispatchClick(id);
}

void FakeDialogHost::PressEnter() {
  if (HasControl(focus) && Control(focus).IsPushButton()) {
    Click(focus);
    return;
  }
  for (const auto& control : controls_) {
    const auto type = control.source.style & style::kButtonTypeMask;
    if (control.IsPushButton() && type == style::kDefPushButton) {
      Click(control.source.id);
      return;
    }
  }
  Click(kIdOk);
}

void FakeDialogHost::FocusAndSelectAll(int id) {
  focus = id;
  allSelected = Control(id).IsEdit();
}

GdiObject FakeDialogHost::CreateFontIndirect(const LogFont& font) {
  if (failFontCreation) return 0;
  fontsCreated.push_back(font);
  const GdiObject handle = nextHandle_++;
  liveObjects[handle] = "font " + font.faceName + " " + std::to_string(font.height);
  return handle;
}

GdiObject FakeDialogHost::CreateSolidBrush(Rgb colour) {
  ++brushesCreated;
  const GdiObject handle = nextHandle_++;
  liveObjects[handle] = "brush";
  brushColours_[handle] = colour;
  return handle;
}

void FakeDialogHost::DeleteObject(GdiObject object) {
  if (!liveObjects.erase(object)) throw std::logic_error("deleted an object twice or never made");
  if (running_) {
    fontsDeletedInUse += static_cast<int>(std::count_if(
        controls_.begin(), controls_.end(), [object](const FakeControl& c) { return c.font == object; }));
  }
  brushColours_.erase(object);
}

IconHandle FakeDialogHost::LoadIcon(int resourceId) {
  return resourceId == IDR_MAINFRAME ? kAppIcon : 0;
}

FakeDialogHost::Colours FakeDialogHost::AskColours(int id) {
  RecordingDc dc;
  Colours colours;
  colours.brush = dialog_->DispatchCtlColor(dc, id);
  colours.text = dc.text;
  colours.background = dc.background;
  return colours;
}

std::optional<Rgb> FakeDialogHost::StatusBackground() {
  const Colours colours = AskColours(IDC_STATUS);
  const auto brush = brushColours_.find(colours.brush);
  // A background colour without a matching brush would paint two colours.
  if (brush == brushColours_.end() || colours.background != brush->second) return std::nullopt;
  return colours.background;
}

std::optional<Rgb> FakeDialogHost::TextColour(int id) {
  return AskColours(id).text;
}

void FakeDialogHost::UpdateWindow() {
  Repaint shown;
  if (HasControl(IDC_STATUS)) {
    shown.statusText = Control(IDC_STATUS).text;
    shown.statusBackground = StatusBackground();
  }
  repaints.push_back(shown);
}

std::unique_ptr<CDC> FakeDialogHost::BeginPaint() {
  paintLog.push_back("begin");
  return std::make_unique<RecordingDc>(&paintLog);
}

}  // namespace tessivo::testing
