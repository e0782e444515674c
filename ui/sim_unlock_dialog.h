// SimUnlockDialog: the program's only window, built from template 102.
//
// It owns the fields the SIM operations work on and exchanges them with its
// controls (FetchFields/ShowFields). The operations behind the buttons are
// members too, defined by subject in operations/; this room defines the
// window: initialisation, data exchange, colours, fonts, icon, web link.
//
// Everything is public so that the operations' free helpers and the tests
// can reach the fields and controls directly.
#pragma once

#include <cstdint>
#include <string>

#include "framework/dialog.h"
#include "platform/platform.h"

namespace tessivo {

enum class ProbeResult : int {
  NoModem = 0,
  PortNotFound = 1,
  PortBusy = 2,
  PortFaulty = 3,
  PukRequired = 11,
  PinRequired = 12,
  Unlocked = 13,
  PinRequestOff = 21,
};

class SimUnlockDialog : public CDialog {
 public:
  // Loads the icon; fonts, colours and fields come at initialisation.
  SimUnlockDialog(Platform& platform, WindowSystem& windows);
  ~SimUnlockDialog() override = default;

  // --- SIM operations (defined in operations/).
  void TestModem();         // "Modem testen"
  void SendPin();           // "PIN senden", also Enter
  void TogglePinRequest();  // the PIN-request switch button
  void EnablePinRequest();
  void DisablePinRequest();
  ProbeResult ProbeModem(bool report);
  std::string FindModemPort();
  void NormalizePortName();

  // --- Data exchange.
  // Controls -> members with the length checks 5 (port) and 4 (PIN); false
  // when a check failed (its message box was shown, later fields kept).
  bool FetchFields();
  // Members -> controls; a control's text is set only where it differs.
  void ShowFields();
  // Paints the whole dialog now, while the calling operation still blocks.
  void RepaintNow();

  // --- Window handlers (the message table).
  void OpenWebsite();
  void OnPaint();
  IconHandle OnQueryDragIcon();
  GdiObject OnCtlColor(CDC& dc, int controlId);
  // The window moved to a screen of another scale: the status and link
  // fonts are made again for it.
  void OnDpiChanged(int dpi);

  Platform& platform() { return platform_; }

  // --- Members, in the order of the data model; destroyed in reverse.
  CFont linkFont;
  CFont statusFont;
  bool statusIsError = false;
  std::int32_t SwitchMode = 0;  // 0 nothing, 1 will enable, 2 will disable
  CButton switchButton;         // control 1010
  CStatic statusStatic;         // control 1003
  CStatic noticeStatic;         // control 1011
  CStatic linkStatic;           // control 1008
  std::string portName;         // text of 1001, at most 5 characters
  std::string pin;              // text of 1002, at most 4 characters
  std::string statusText;       // text of 1003
  IconHandle appIcon = 0;       // resource 128; shared, never destroyed

 protected:
  bool OnInitDialog() override;
  void DoDataExchange(CDataExchange& dx) override;
  const MessageMap& GetMessageMap() const override;

 private:
  // The status area's two backgrounds; each brush made once, on first use.
  GdiObject StatusBrush(Rgb colour);
  // Makes the status and link fonts for a screen of `dpi` dots per inch
  // into the two given objects, from one description cleared once.
  void CreateFonts(int dpi, CFont& status, CFont& link);

  Platform& platform_;
  CBrush normalBrush_;
  CBrush errorBrush_;
};

// The dialog's colours and fonts.
namespace dialog_style {
inline constexpr Rgb kStatusNormal{200, 200, 200};
inline constexpr Rgb kStatusError{200, 90, 50};
inline constexpr Rgb kLinkText{0, 43, 127};
constexpr int kPortMaxChars = 5;
constexpr int kPinMaxChars = 4;
}  // namespace dialog_style

}  // namespace tessivo
