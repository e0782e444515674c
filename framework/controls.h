// Wrappers of the dialog's controls and of the graphics objects it owns.
//
// A control member starts unattached and is bound to its control once, by
// the dialog's data exchange (DDX_Control); from then on it reaches the
// control through the window system of its dialog. Calls on an unattached
// control do nothing and read as empty or disabled.
#pragma once

#include <string>

#include "framework/graphics.h"

namespace tessivo {

class WindowSystem;
class CFont;

class CWnd {
 public:
  CWnd() = default;
  virtual ~CWnd() = default;
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  void Attach(WindowSystem& windows, int controlId);
  bool IsAttached() const { return windows_ != nullptr; }
  // Whether this is the control with the given identifier.
  bool Is(int controlId) const { return IsAttached() && id_ == controlId; }
  int GetDlgCtrlID() const { return id_; }

  void EnableWindow(bool enable);
  bool IsWindowEnabled() const;
  void SetWindowText(const std::string& text);
  std::string GetWindowText() const;
  void SetFont(const CFont& font, bool redraw = true);

 private:
  WindowSystem* windows_ = nullptr;
  int id_ = 0;
};

class CButton : public CWnd {};
class CStatic : public CWnd {};

// A graphics object that deletes itself: the owner's destructor releases it.
class CGdiObject {
 public:
  CGdiObject() = default;
  ~CGdiObject() { DeleteObject(); }
  CGdiObject(const CGdiObject&) = delete;
  CGdiObject& operator=(const CGdiObject&) = delete;

  GdiObject handle() const { return handle_; }
  void DeleteObject();
  // Deletes this object's handle and takes over the other's, which is left
  // without one: for a replacement made beside the object still in use.
  void TakeOver(CGdiObject& other);

 protected:
  bool Own(WindowSystem& windows, GdiObject handle);

 private:
  WindowSystem* windows_ = nullptr;
  GdiObject handle_ = 0;
};

class CFont : public CGdiObject {
 public:
  // False, leaving the font without a handle, when the system refuses.
  bool CreateFontIndirect(WindowSystem& windows, const LogFont& font);
};

class CBrush : public CGdiObject {
 public:
  bool CreateSolidBrush(WindowSystem& windows, Rgb colour);
};

}  // namespace tessivo
