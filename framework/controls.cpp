#include "framework/controls.h"

#include "framework/window_system.h"

namespace tessivo {

void CWnd::Attach(WindowSystem& windows, int controlId) {
  windows_ = &windows;
  id_ = controlId;
}

void CWnd::EnableWindow(bool enable) {
  if (windows_) windows_->EnableControl(id_, enable);
}

bool CWnd::IsWindowEnabled() const {
  return windows_ && windows_->IsControlEnabled(id_);
}

void CWnd::SetWindowText(const std::string& text) {
  if (windows_) windows_->SetControlText(id_, text);
}

std::string CWnd::GetWindowText() const {
  return windows_ ? windows_->GetControlText(id_) : std::string();
}

// A font whose creation failed has no handle; handing that on would make a
// Windows control fall back to the system font, so the control keeps the
// template font instead.
void CWnd::SetFont(const CFont& font, bool redraw) {
  if (windows_ && font.handle()) windows_->SetControlFont(id_, font.handle(), redraw);
}

void CGdiObject::DeleteObject() {
  if (windows_ && handle_) windows_->DeleteObject(handle_);
  handle_ = 0;
  windows_ = nullptr;
}

bool CGdiObject::Own(WindowSystem& windows, GdiObject handle) {
  DeleteObject();
  if (!handle) return false;
  windows_ = &windows;
  handle_ = handle;
  return true;
}

void CGdiObject::TakeOver(CGdiObject& other) {
  if (&other == this) return;
  DeleteObject();
  windows_ = other.windows_;
  handle_ = other.handle_;
  other.windows_ = nullptr;
  other.handle_ = 0;
}

bool CFont::CreateFontIndirect(WindowSystem& windows, const LogFont& font) {
  return Own(windows, windows.CreateFontIndirect(font));
}

bool CBrush::CreateSolidBrush(WindowSystem& windows, Rgb colour) {
  return Own(windows, windows.CreateSolidBrush(colour));
}

}  // namespace tessivo
