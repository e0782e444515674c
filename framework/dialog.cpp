#include "framework/dialog.h"

#include <exception>

namespace tessivo {
namespace {

std::string FormatLimitMessage(int maxChars) {
  std::string text = framework_texts::kTooManyCharacters;
  const auto at = text.find("%1");
  if (at != std::string::npos) text.replace(at, 2, std::to_string(maxChars));
  return text;
}

}  // namespace

// --- Data exchange.

bool CDataExchange::PrepareCtrl(int id, bool isEdit) {
  if (!dialog.windows().HasControl(id)) {
    FailInternal();
    return false;
  }
  lastControl_ = id;
  lastIsEdit_ = isEdit;
  return true;
}

void CDataExchange::Fail() {
  if (lastControl_ != 0 && lastIsEdit_) dialog.windows().FocusAndSelectAll(lastControl_);
  failure_ = Failure::Checked;
}

void DDX_Control(CDataExchange& dx, int id, CWnd& control) {
  if (dx.failed() || control.IsAttached()) return;
  if (!dx.PrepareCtrl(id, false)) return;
  control.Attach(dx.dialog.windows(), id);
}

// Both directions count the control as an edit for the check that follows,
// as the framework did: DDV_MaxChars then limits what the user can type.
void DDX_Text(CDataExchange& dx, int id, std::string& value) {
  if (dx.failed() || !dx.PrepareCtrl(id, true)) return;
  WindowSystem& windows = dx.dialog.windows();
  if (dx.saveAndValidate) {
    value = windows.GetControlText(id);
  } else if (windows.GetControlText(id) != value) {
    // Setting an unchanged text would only make the control flicker.
    windows.SetControlText(id, value);
  }
}

void DDV_MaxChars(CDataExchange& dx, const std::string& value, int maxChars) {
  if (dx.failed()) return;
  if (dx.saveAndValidate && value.size() > static_cast<std::size_t>(maxChars)) {
    dx.dialog.windows().MessageBox(FormatLimitMessage(maxChars));
    dx.Fail();
  } else if (dx.lastControl() != 0 && dx.lastIsEdit()) {
    dx.dialog.windows().LimitText(dx.lastControl(), maxChars);
  }
}

// --- The dialog.

CDialog::CDialog(WindowSystem& windows, int templateId)
    : windows_(windows), templateId_(templateId) {}

int CDialog::DoModal() {
  return windows_.DialogBox(templateId_, *this);
}

void CDialog::EndDialog(int code) {
  windows_.EndDialog(code);
}

bool CDialog::UpdateData(bool saveAndValidate) {
  CDataExchange dx(*this, saveAndValidate);
  try {
    DoDataExchange(dx);
  } catch (const std::exception&) {
    dx.FailInternal();
  }
  if (dx.failedUnexpectedly()) MessageBox(framework_texts::kInternalFailure);
  return !dx.failed();
}

void CDialog::UpdateWindow() {
  windows_.UpdateWindow();
}

void CDialog::MessageBox(const std::string& text) {
  windows_.MessageBox(text);
}

bool CDialog::OnInitDialog() {
  if (!UpdateData(false)) {
    EndDialog(-1);
    return false;
  }
  return true;
}

const MessageMap& CDialog::GetMessageMap() const {
  static const MessageMap kNone;
  return kNone;
}

const MessageMapEntry* CDialog::Find(Message message, int controlId) const {
  for (const auto& entry : GetMessageMap()) {
    if (entry.message == message && entry.controlId == controlId) return &entry;
  }
  return nullptr;
}

void CDialog::DispatchClick(int controlId) {
  if (const auto* entry = Find(Message::Click, controlId)) {
    (this->*entry->action)();
  } else if (controlId == kIdCancel) {
    OnCancel();
  }
}

void CDialog::DispatchPaint() {
  if (const auto* entry = Find(Message::Paint, 0)) {
    (this->*entry->action)();
  } else {
    DefaultPaint();
  }
}

IconHandle CDialog::DispatchQueryDragIcon() {
  const auto* entry = Find(Message::QueryDragIcon, 0);
  return entry ? (this->*entry->iconQuery)() : 0;
}

GdiObject CDialog::DispatchCtlColor(CDC& dc, int controlId) {
  if (const auto* entry = Find(Message::CtlColor, 0)) {
    return (this->*entry->colourQuery)(dc, controlId);
  }
  return DefaultCtlColor(dc, controlId);
}

void CDialog::DispatchDpiChanged(int dpi) {
  if (const auto* entry = Find(Message::DpiChanged, 0)) (this->*entry->dpiChange)(dpi);
}

void CDialog::DefaultPaint() {
  windows_.DefaultPaint();
}

GdiObject CDialog::DefaultCtlColor(CDC& dc, int controlId) {
  return windows_.DefaultCtlColor(dc, controlId);
}

}  // namespace tessivo
