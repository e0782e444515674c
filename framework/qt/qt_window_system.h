// The window system on Qt 6 Widgets (Linux).
//
// A dialog template becomes a QDialog whose controls sit where the template
// puts them: dialog units become pixels through the base units of the
// template font (its average character width and height, as Windows
// computes them), so the dialog keeps the proportions it has on Windows.
// Verdana, when missing, is stood in for by DejaVu Sans at the same sizes.
// Texts cross the widget boundary as Windows-1252 bytes on our side and
// Unicode on Qt's; a character the code page lacks becomes "?".
//
// Colours work as on Windows: before a static control paints, the dialog is
// asked for its colours (the control-colour request) and its answer becomes
// the control's palette.
#pragma once

#include <QtCore/QString>
#include <QtCore/QUrl>
#include <QtGui/QColor>
#include <QtGui/QFont>
#include <QtGui/QIcon>
#include <functional>
#include <map>
#include <memory>

#include "framework/window_system.h"

class QApplication;
class QDialog;
class QWidget;

namespace tessivo {

class QtDialogWindow;

class QtWindowSystem : public WindowSystem {
 public:
  // Uses the running QApplication, or makes one that lives as long as this.
  QtWindowSystem();
  // Keeps the given application (may be null) for as long as this lives.
  explicit QtWindowSystem(std::unique_ptr<QApplication> application);
  ~QtWindowSystem() override;

  // --- Hooks for tests; unset, the real thing happens.
  // Answers a message box instead of showing it.
  std::function<void(const QString& text)> messageBoxHook;
  // Opens a web address instead of the desktop's browser.
  std::function<void(const QUrl& address)> urlOpener;
  // Runs once the modal run is under way and the window shows.
  std::function<void(QDialog& window)> whenShown;

  // The running dialog's window and its controls, for tests.
  QDialog* window() const;
  QWidget* control(int id) const;
  // Pixels per 4 horizontal and 8 vertical dialog units.
  Size baseUnits() const;

  // Converts dialog units into pixels with the template font's base units.
  static Size BaseUnitsOf(const QFont& font);

  // --- WindowSystem.
  GdiObject CreateFontIndirect(const LogFont& font) override;
  GdiObject CreateSolidBrush(Rgb colour) override;
  void DeleteObject(GdiObject object) override;
  IconHandle LoadIcon(int resourceId) override;
  // Qt's style is the desktop's own already.
  void Enable3dControls() override {}
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
  // Qt sizes fonts and widgets in device-independent pixels and scales them
  // to the screen itself.
  int WindowDpi() override { return kUnscaledDpi; }
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

  // The colour of a brush this window system made; invalid for others.
  QColor BrushColour(GdiObject brush) const;

 private:
  std::unique_ptr<QApplication> ownApplication_;
  std::unique_ptr<QtDialogWindow> window_;
  GdiObject nextHandle_ = 1;
  std::map<GdiObject, QFont> fonts_;
  std::map<GdiObject, QColor> brushes_;
  std::map<IconHandle, QIcon> icons_;
};

// Windows-1252 bytes <-> QString, with the full code-page table.
QString QStringFrom1252(const std::string& text);
std::string Cp1252FromQString(const QString& text);

// A QFont for a font description, the way GDI would pick it: a positive
// height is the character cell height, a negative one the character height.
QFont FontFor(const LogFont& font);

}  // namespace tessivo
