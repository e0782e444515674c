// The modal dialog base of the framework layer.
//
// A dialog is built from a dialog template, runs modally on a window system
// and reaches its handlers through a static message table of message,
// control identifier and handler (MessageMap). Its fields travel to and from
// the controls through DoDataExchange, which UpdateData runs in one of two
// directions:
//   UpdateData(false): members -> controls, binding control members on the
//                      first run and setting the edits' typing limits;
//   UpdateData(true):  controls -> members with the length checks; the first
//                      failing check shows its message box, puts the focus
//                      back into the field and stops the exchange.
// Cancel (control 2: the cancel button, Esc, the close box) ends the run
// with 2.
#pragma once

#include <string>
#include <vector>

#include "framework/controls.h"
#include "framework/graphics.h"
#include "framework/window_system.h"

namespace tessivo {

// The identifiers of the OK and cancel buttons (IDOK, IDCANCEL).
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;

class CDialog;

// The messages a dialog's table can bind.
enum class Message { Paint, QueryDragIcon, Click, CtlColor, DpiChanged };

struct MessageMapEntry {
  using Action = void (CDialog::*)();
  using IconQuery = IconHandle (CDialog::*)();
  using ColourQuery = GdiObject (CDialog::*)(CDC& dc, int controlId);
  using DpiChange = void (CDialog::*)(int dpi);

  Message message;
  int controlId;  // the clicked control; 0 for window messages
  Action action = nullptr;
  IconQuery iconQuery = nullptr;
  ColourQuery colourQuery = nullptr;
  DpiChange dpiChange = nullptr;
};

using MessageMap = std::vector<MessageMapEntry>;

// Table entries, in the manner of the framework's ON_WM_... and
// ON_BN_CLICKED macros.
template <class D>
MessageMapEntry OnWmPaint(void (D::*handler)()) {
  return {Message::Paint, 0, static_cast<MessageMapEntry::Action>(handler)};
}
template <class D>
MessageMapEntry OnWmQueryDragIcon(IconHandle (D::*handler)()) {
  return {Message::QueryDragIcon, 0, nullptr, static_cast<MessageMapEntry::IconQuery>(handler)};
}
template <class D>
MessageMapEntry OnBnClicked(int controlId, void (D::*handler)()) {
  return {Message::Click, controlId, static_cast<MessageMapEntry::Action>(handler)};
}
template <class D>
MessageMapEntry OnWmCtlColor(GdiObject (D::*handler)(CDC&, int)) {
  return {Message::CtlColor, 0, nullptr, nullptr,
          static_cast<MessageMapEntry::ColourQuery>(handler)};
}

template <class D>
MessageMapEntry OnWmDpiChanged(void (D::*handler)(int dpi)) {
  return {Message::DpiChanged, 0, nullptr, nullptr, nullptr,
          static_cast<MessageMapEntry::DpiChange>(handler)};
}

// One run of the data exchange.
class CDataExchange {
 public:
  CDataExchange(CDialog& dialog, bool saveAndValidate)
      : dialog(dialog), saveAndValidate(saveAndValidate) {}

  CDialog& dialog;
  const bool saveAndValidate;

  bool failed() const { return failure_ != Failure::None; }
  bool failedUnexpectedly() const { return failure_ == Failure::Internal; }

  // The control the next check refers to; false when the dialog lacks it.
  bool PrepareCtrl(int id, bool isEdit);
  // A check failed after telling the user: focus back to the field.
  void Fail();
  // Something that should never happen; UpdateData reports it.
  void FailInternal() { failure_ = Failure::Internal; }

  int lastControl() const { return lastControl_; }
  bool lastIsEdit() const { return lastIsEdit_; }

 private:
  enum class Failure { None, Checked, Internal };
  Failure failure_ = Failure::None;
  int lastControl_ = 0;
  bool lastIsEdit_ = false;
};

// Binds a control member to control id, on the first exchange only.
void DDX_Control(CDataExchange& dx, int id, CWnd& control);
// The control's whole text to or from value.
void DDX_Text(CDataExchange& dx, int id, std::string& value);
// The length check of the text just exchanged, and the typing limit of its
// edit control.
void DDV_MaxChars(CDataExchange& dx, const std::string& value, int maxChars);

class CDialog {
 public:
  // parent: there is none in this program; the dialog is a top-level window.
  CDialog(WindowSystem& windows, int templateId);
  virtual ~CDialog() = default;
  CDialog(const CDialog&) = delete;
  CDialog& operator=(const CDialog&) = delete;

  // Runs the dialog until EndDialog; returns its code (-1: no window).
  int DoModal();
  void EndDialog(int code);

  // Runs the data exchange in one direction; false when a check failed.
  bool UpdateData(bool saveAndValidate);
  void UpdateWindow();

  WindowSystem& windows() { return windows_; }
  int templateId() const { return templateId_; }

  // --- Entry points of the window system.
  bool DispatchInitDialog() { return OnInitDialog(); }
  void DispatchClick(int controlId);
  void DispatchPaint();
  IconHandle DispatchQueryDragIcon();
  GdiObject DispatchCtlColor(CDC& dc, int controlId);
  // The window is now on a screen of `dpi` dots per inch.
  void DispatchDpiChanged(int dpi);

 protected:
  // The framework's own initialisation: the first UpdateData(false); when it
  // fails the run ends with -1. Derived dialogs call it first.
  virtual bool OnInitDialog();
  virtual void DoDataExchange(CDataExchange&) {}
  virtual void OnCancel() { EndDialog(kIdCancel); }
  virtual const MessageMap& GetMessageMap() const;

  // Default handling, for handlers that want it.
  void DefaultPaint();
  GdiObject DefaultCtlColor(CDC& dc, int controlId);

  // Message boxes of the framework, titled with the program's name.
  void MessageBox(const std::string& text);

 private:
  const MessageMapEntry* Find(Message message, int controlId) const;

  WindowSystem& windows_;
  int templateId_;
};

// A paint of the dialog's window between BeginPaint and EndPaint.
class CPaintDC {
 public:
  explicit CPaintDC(CDialog& dialog) : windows_(dialog.windows()), dc_(windows_.BeginPaint()) {}
  ~CPaintDC() { windows_.EndPaint(*dc_); }
  CPaintDC(const CPaintDC&) = delete;
  CPaintDC& operator=(const CPaintDC&) = delete;
  CDC& dc() { return *dc_; }

 private:
  WindowSystem& windows_;
  std::unique_ptr<CDC> dc_;
};

// The framework's texts.
namespace framework_texts {
// "%1" stands for the limit in decimal.
inline constexpr const char* kTooManyCharacters = "Geben Sie bitte nicht mehr als %1 Zeichen ein.";
inline constexpr const char* kInternalFailure = "Interner Anwendungsfehler.";
}  // namespace framework_texts

}  // namespace tessivo
