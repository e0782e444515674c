// The QDialog that stands in for a dialog made by the Windows dialog
// manager: controls created from the template in its order (which is also
// the tab order), positioned in dialog units, each click handed to the
// dialog's message table, Esc and the close box turned into cancel.
#pragma once

#include <QDialog>
#include <map>
#include <string>
#include <vector>

#include "framework/dialog_template.h"
#include "framework/graphics.h"

namespace tessivo {

class CDialog;
class QtWindowSystem;

class QtDialogWindow : public QDialog {
 public:
  QtDialogWindow(QtWindowSystem& windows, CDialog& dialog, const DialogTemplate& source);

  QWidget* control(int id) const;
  const ControlTemplate* source(int id) const;
  Size baseUnits() const { return baseUnits_; }

  // The text as our side set it (for statics and buttons, whose display
  // may differ: wrapped captions); edits answer what the user typed.
  std::string Text(int id) const;
  void SetText(int id, const std::string& text);
  void LimitText(int id, int maxChars);
  void FocusFirstTabStop();

  // The end of the modal run; may come before the run starts (during the
  // dialog's initialisation), in which case the run does not start.
  void End(int code);
  bool ended() const { return ended_; }
  int endCode() const { return endCode_; }

  void reject() override;  // Esc, the close box
  void accept() override;  // Enter without a default button

 private:
  QWidget* Create(const ControlTemplate& control);
  QRect PixelRect(int x, int y, int cx, int cy) const;

  QtWindowSystem& windows_;
  CDialog& dialog_;
  Size baseUnits_;
  std::vector<std::pair<ControlTemplate, QWidget*>> controls_;
  std::map<int, std::string> texts_;
  bool ended_ = false;
  int endCode_ = 0;
};

}  // namespace tessivo
