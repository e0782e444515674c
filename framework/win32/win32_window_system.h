// The window system on Win32 (user32, gdi32, shell32): the dialog is the
// real dialog resource run by the system's dialog manager with
// DialogBoxParamA, and every framework call is the API call it names.
//
// The dialog procedure reaches its window system through GWLP_USERDATA, set
// at WM_INITDIALOG from the creation parameter, so nothing lives in statics.
#pragma once

#include "framework/win32/windows_api.h"

#include "framework/window_system.h"

namespace tessivo {

class Win32WindowSystem : public WindowSystem {
 public:
  explicit Win32WindowSystem(HINSTANCE instance) : instance_(instance) {}

  GdiObject CreateFontIndirect(const LogFont& font) override;
  GdiObject CreateSolidBrush(Rgb colour) override;
  void DeleteObject(GdiObject object) override;
  IconHandle LoadIcon(int resourceId) override;
  void Enable3dControls() override;
  int DialogBox(int templateId, CDialog& dialog) override;
  void EndDialog(int code) override;
  bool HasControl(int id) override;
  std::string GetControlText(int id) override;
  void SetControlText(int id, const std::string& text) override;
  void EnableControl(int id, bool enable) override;
  bool IsControlEnabled(int id) override;
  void LimitText(int id, int maxChars) override;
  void FocusAndSelectAll(int id) override;
  void SetControlFont(int id, GdiObject font, bool redraw) override;
  void SetIcon(IconHandle icon, bool big) override;
  int WindowDpi() override;
  void UpdateWindow() override;
  void MessageBox(const std::string& text) override;
  void ShellOpen(const std::string& address) override;
  bool IsIconic() override;
  Size ClientSize() override;
  Size SystemIconSize() override;
  std::unique_ptr<CDC> BeginPaint() override;
  void EndPaint(CDC& dc) override;
  void EraseIconBackground(CDC& dc) override;
  void DefaultPaint() override;
  GdiObject DefaultCtlColor(CDC& dc, int controlId) override;

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR OnInitDialog();
  void CentreOnScreen();
  HWND Control(int id) const { return GetDlgItem(window_, id); }

  HINSTANCE instance_;
  CDialog* dialog_ = nullptr;
  HWND window_ = nullptr;
  // The control-colour message being answered, for the default answer.
  UINT colourMessage_ = 0;
  WPARAM colourWParam_ = 0;
  LPARAM colourLParam_ = 0;
  // Set when a paint handler leaves the painting to the dialog manager.
  bool paintByDefault_ = false;
};

}  // namespace tessivo
