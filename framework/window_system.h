// What the framework layer needs of a window system, and nothing more: the
// graphics objects, one modal dialog run from a template, and the operations
// the dialog performs on its running window. One implementation per platform
// (framework/win32 over user32/gdi32, framework/qt over Qt Widgets), and a
// fake for unit tests (tests/support/fake_dialog_host.h).
//
// Controls are addressed by their identifier in the running dialog; every
// window operation is valid only while DialogBox runs. Graphics objects live
// independently of any window, until DeleteObject.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "framework/graphics.h"

namespace tessivo {

class CDialog;

class WindowSystem {
 public:
  virtual ~WindowSystem() = default;

  // --- Graphics objects (0 when creation failed).
  virtual GdiObject CreateFontIndirect(const LogFont& font) = 0;
  virtual GdiObject CreateSolidBrush(Rgb colour) = 0;
  virtual void DeleteObject(GdiObject object) = 0;
  // An icon of the program's resources; shared, never deleted.
  virtual IconHandle LoadIcon(int resourceId) = 0;

  // Makes the controls of the dialogs that follow look as the system draws
  // its own: on Windows the common controls of version 6 (the program's
  // manifest asks for them), which carry the visual style of today. Other
  // platforms draw their controls in their own style anyway.
  virtual void Enable3dControls() = 0;

  // --- The modal run. Creates the window from template templateId, lets the
  // dialog initialise (CDialog::DispatchInitDialog), centres it on the screen
  // when initialisation left it where the template put it, shows it and
  // hands messages to the dialog until EndDialog. Returns the code given to
  // EndDialog, or -1 when the window could not be created.
  virtual int DialogBox(int templateId, CDialog& dialog) = 0;
  virtual void EndDialog(int code) = 0;

  // --- The running dialog's controls. Texts are Windows-1252 bytes.
  virtual bool HasControl(int id) = 0;
  virtual std::string GetControlText(int id) = 0;
  virtual void SetControlText(int id, const std::string& text) = 0;
  virtual void EnableControl(int id, bool enable) = 0;
  virtual bool IsControlEnabled(int id) = 0;
  // The edit control's typing limit, in characters.
  virtual void LimitText(int id, int maxChars) = 0;
  // Keyboard focus to the control; an edit control gets its whole text
  // selected.
  virtual void FocusAndSelectAll(int id) = 0;
  virtual void SetControlFont(int id, GdiObject font, bool redraw) = 0;

  // --- The running dialog's window.
  virtual void SetIcon(IconHandle icon, bool big) = 0;
  // Dots per inch of the screen the window is on (kUnscaledDpi: 100 %),
  // for what the program sizes in pixels itself. Where the platform scales
  // such sizes on its own (Qt), it answers kUnscaledDpi. When the window
  // moves to a screen of another scale, the dialog hears of it through
  // CDialog::DispatchDpiChanged.
  virtual int WindowDpi() = 0;
  // Paints what is invalid now, before the function returns.
  virtual void UpdateWindow() = 0;
  // A message box with an exclamation icon and one OK button, titled with
  // the program's name, owned by the dialog.
  virtual void MessageBox(const std::string& text) = 0;
  // Asks the desktop shell to open a document or web address ("open" verb,
  // shown normally, the dialog as owner). The outcome is not reported.
  virtual void ShellOpen(const std::string& address) = 0;

  // --- Painting a minimised window; only Windows ever asks for it.
  virtual bool IsIconic() = 0;
  virtual Size ClientSize() = 0;
  virtual Size SystemIconSize() = 0;  // SM_CXICON, SM_CYICON
  virtual std::unique_ptr<CDC> BeginPaint() = 0;
  virtual void EndPaint(CDC& dc) = 0;
  // WM_ICONERASEBKGND with the paint device context, to the dialog itself.
  virtual void EraseIconBackground(CDC& dc) = 0;
  // Lets the platform paint the window as it would without a handler.
  virtual void DefaultPaint() = 0;
  // The platform's own answer to a control-colour request for the control
  // being drawn: it may set colours on dc and gives the brush to paint with.
  virtual GdiObject DefaultCtlColor(CDC& dc, int controlId) = 0;
};

// The window system of the machine the program runs on, made when the dialog
// path starts (on Linux that is where the Qt application comes to life, so a
// console-mode start never touches Qt). Defined once per platform. Nothing
// when none can be opened here (Linux without a display that answers).
// `lastWords` runs when the window system fails after all in a way that
// cannot be returned from; the process ends right after it.
std::unique_ptr<WindowSystem> OpenHostWindowSystem(const std::function<void()>& lastWords);

}  // namespace tessivo
