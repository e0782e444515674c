#include "ui/sim_unlock_dialog.h"

#include "resources/resource.h"

namespace tessivo {
namespace {

constexpr const char* kFontFace = "Verdana";
constexpr int kBold = 700;
// Positive: character cell heights in pixels, at 100 %. On a screen of
// another scale they grow with it, as the template's font does.
constexpr int kStatusFontHeight = 18;
constexpr int kLinkFontHeight = 20;

}  // namespace

SimUnlockDialog::SimUnlockDialog(Platform& platform, WindowSystem& windows)
    : CDialog(windows, IDD_SIMUNLOCK_DIALOG), platform_(platform) {
  appIcon = windows.LoadIcon(IDR_MAINFRAME);
}

const MessageMap& SimUnlockDialog::GetMessageMap() const {
  static const MessageMap kMessageMap = {
      OnWmPaint(&SimUnlockDialog::OnPaint),
      OnWmQueryDragIcon(&SimUnlockDialog::OnQueryDragIcon),
      OnBnClicked(IDC_TEST_MODEM, &SimUnlockDialog::TestModem),
      OnBnClicked(IDC_SEND_PIN, &SimUnlockDialog::SendPin),
      OnBnClicked(IDC_WEB_LINK, &SimUnlockDialog::OpenWebsite),
      OnWmCtlColor(&SimUnlockDialog::OnCtlColor),
      OnBnClicked(IDC_SWITCH, &SimUnlockDialog::TogglePinRequest),
      OnWmDpiChanged(&SimUnlockDialog::OnDpiChanged),
  };
  return kMessageMap;
}

void SimUnlockDialog::DoDataExchange(CDataExchange& dx) {
  DDX_Control(dx, IDC_SWITCH, switchButton);
  DDX_Control(dx, IDC_STATUS, statusStatic);
  DDX_Control(dx, IDC_NOTICE, noticeStatic);
  DDX_Control(dx, IDC_WEB_LINK, linkStatic);
  DDX_Text(dx, IDC_PORT, portName);
  DDV_MaxChars(dx, portName, dialog_style::kPortMaxChars);
  DDX_Text(dx, IDC_PIN, pin);
  DDV_MaxChars(dx, pin, dialog_style::kPinMaxChars);
  DDX_Text(dx, IDC_STATUS, statusText);
}

bool SimUnlockDialog::FetchFields() {
  return UpdateData(true);
}
void SimUnlockDialog::ShowFields() {
  UpdateData(false);
}
void SimUnlockDialog::RepaintNow() {
  UpdateWindow();
}

bool SimUnlockDialog::OnInitDialog() {
  // Binds the controls and replaces the template's "#" in the status area
  // with the still empty status text. Should it fail, the run is already
  // ending with -1; the rest still runs and the window closes afterwards.
  CDialog::OnInitDialog();

  windows().SetIcon(appIcon, true);
  windows().SetIcon(appIcon, false);

  statusIsError = false;
  SwitchMode = 0;

  CreateFonts(windows().WindowDpi(), statusFont, linkFont);
  statusStatic.SetFont(statusFont, true);
  linkStatic.SetFont(linkFont, true);

  // Stays disabled until a probe finds a SIM whose PIN request can be
  // switched.
  switchButton.EnableWindow(false);

  portName = FindModemPort();
  ShowFields();
  ProbeModem(true);
  return true;  // the focus goes to the first tab stop, the port field
}

void SimUnlockDialog::CreateFonts(int dpi, CFont& status, CFont& link) {
  LogFont font;
  font.faceName = kFontFace;
  font.height = ScaleToDpi(kStatusFontHeight, dpi);
  font.weight = kBold;
  status.CreateFontIndirect(windows(), font);
  font.height = ScaleToDpi(kLinkFontHeight, dpi);
  font.italic = true;
  link.CreateFontIndirect(windows(), font);
}

// The controls get their new fonts before the old ones are deleted: a
// control must never paint with a deleted font. A font that cannot be made
// for the new scale keeps the old one.
void SimUnlockDialog::OnDpiChanged(int dpi) {
  CFont status;
  CFont link;
  CreateFonts(dpi, status, link);
  if (status.handle()) {
    statusStatic.SetFont(status, true);
    statusFont.TakeOver(status);
  }
  if (link.handle()) {
    linkStatic.SetFont(link, true);
    linkFont.TakeOver(link);
  }
}

void SimUnlockDialog::OpenWebsite() {
  windows().ShellOpen(TESSIVO_WEB_ADDRESS);
}

// Only a minimised window on Windows gets here with IsIconic: the icon is
// drawn centred in the client area, as the shell of old showed it.
void SimUnlockDialog::OnPaint() {
  if (!windows().IsIconic()) {
    DefaultPaint();
    return;
  }
  CPaintDC paint(*this);
  windows().EraseIconBackground(paint.dc());
  const Size client = windows().ClientSize();
  const Size icon = windows().SystemIconSize();
  const int x = (client.cx - icon.cx + 1) / 2;
  const int y = (client.cy - icon.cy + 1) / 2;
  paint.dc().DrawIcon(x, y, appIcon);
}

IconHandle SimUnlockDialog::OnQueryDragIcon() {
  return appIcon;
}

GdiObject SimUnlockDialog::OnCtlColor(CDC& dc, int controlId) {
  const GdiObject standard = DefaultCtlColor(dc, controlId);
  if (statusStatic.Is(controlId)) {
    const Rgb background = statusIsError ? dialog_style::kStatusError : dialog_style::kStatusNormal;
    dc.SetBkColor(background);
    return StatusBrush(background);
  }
  if (linkStatic.Is(controlId) || noticeStatic.Is(controlId)) {
    dc.SetTextColor(dialog_style::kLinkText);
  }
  return standard;
}

GdiObject SimUnlockDialog::StatusBrush(Rgb colour) {
  CBrush& brush = colour == dialog_style::kStatusError ? errorBrush_ : normalBrush_;
  if (!brush.handle()) brush.CreateSolidBrush(windows(), colour);
  return brush.handle();
}

}  // namespace tessivo
