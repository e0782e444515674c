#include "framework/win32/win32_window_system.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstring>
#include <vector>

#include "framework/dialog.h"

namespace tessivo {
namespace {

COLORREF ColourRef(Rgb colour) {
  return RGB(colour.red, colour.green, colour.blue);
}

// A device context that the system handed us, for a control-colour request
// or a paint.
class Win32Dc : public CDC {
 public:
  explicit Win32Dc(HDC dc) : dc(dc) {}
  void SetTextColor(Rgb colour) override { ::SetTextColor(dc, ColourRef(colour)); }
  void SetBkColor(Rgb colour) override { ::SetBkColor(dc, ColourRef(colour)); }
  void DrawIcon(int x, int y, IconHandle icon) override {
    ::DrawIcon(dc, x, y, reinterpret_cast<HICON>(icon));
  }
  HDC dc;
  PAINTSTRUCT paint{};
};

// The application's name, as the framework derived it: the program's file
// name without folder and extension. It titles the message boxes.
std::string ProgramName() {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string name(path, length);
  const auto slash = name.find_last_of("\\/");
  if (slash != std::string::npos) name.erase(0, slash + 1);
  const auto dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  return name.empty() ? "Tessivo" : name;
}

bool IsControlColourMessage(UINT message) {
  return message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC;
}

// Calls of newer Windows versions, looked up when needed: the program must
// still start where they are missing (Windows 7 and 8, and Wine lacks the
// second). Null when the system does not have them.
template <class Function>
Function User32Function(const char* name) {
  HMODULE user32 = GetModuleHandleA("user32.dll");
  return user32 ? reinterpret_cast<Function>(
                      reinterpret_cast<void (*)()>(GetProcAddress(user32, name)))
                : nullptr;
}
using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
using SetDialogControlDpiChangeBehaviorFunction = BOOL(WINAPI*)(HWND, int, int);
constexpr int kDisableFontUpdate = 1;  // DCDC_DISABLE_FONT_UPDATE

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

}  // namespace

GdiObject Win32WindowSystem::CreateFontIndirect(const LogFont& font) {
  LOGFONTA description;
  std::memset(&description, 0, sizeof description);
  description.lfHeight = font.height;
  description.lfWeight = font.weight;
  description.lfItalic = font.italic ? 1 : 0;
  std::strncpy(description.lfFaceName, font.faceName.c_str(), LF_FACESIZE - 1);
  return reinterpret_cast<GdiObject>(::CreateFontIndirectA(&description));
}

GdiObject Win32WindowSystem::CreateSolidBrush(Rgb colour) {
  return reinterpret_cast<GdiObject>(::CreateSolidBrush(ColourRef(colour)));
}

void Win32WindowSystem::DeleteObject(GdiObject object) {
  ::DeleteObject(reinterpret_cast<HGDIOBJ>(object));
}

IconHandle Win32WindowSystem::LoadIcon(int resourceId) {
  return reinterpret_cast<IconHandle>(::LoadIconA(instance_, MAKEINTRESOURCEA(resourceId)));
}

void Win32WindowSystem::Enable3dControls() {
  // With version 6 of the common controls active (the manifest), this
  // registers the themed Button, Edit and Static classes the dialog
  // manager then creates. Without it, it fails and the classic ones stay.
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
}

int Win32WindowSystem::DialogBox(int templateId, CDialog& dialog) {
  dialog_ = &dialog;
  const INT_PTR code =
      DialogBoxParamA(instance_, MAKEINTRESOURCEA(templateId), nullptr,
                      &Win32WindowSystem::DialogProc, reinterpret_cast<LPARAM>(this));
  window_ = nullptr;
  dialog_ = nullptr;
  return static_cast<int>(code);
}

INT_PTR CALLBACK Win32WindowSystem::DialogProc(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(window, GWLP_USERDATA, lParam);
    auto* self = reinterpret_cast<Win32WindowSystem*>(lParam);
    self->window_ = window;
    return self->OnInitDialog();
  }
  // Messages before WM_INITDIALOG (WM_SETFONT among them) go to the system.
  auto* self = reinterpret_cast<Win32WindowSystem*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  return self ? self->OnMessage(message, wParam, lParam) : FALSE;
}

INT_PTR Win32WindowSystem::OnInitDialog() {
  RECT before;
  GetWindowRect(window_, &before);
  const bool focusFirst = dialog_->DispatchInitDialog();
  RECT after;
  GetWindowRect(window_, &after);
  // Where the initialisation did not place it, the framework centres the
  // dialog; without an owner, on the screen.
  if (IsWindow(window_) && EqualRect(&before, &after)) CentreOnScreen();
  return focusFirst ? TRUE : FALSE;
}

void Win32WindowSystem::CentreOnScreen() {
  RECT area;
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  RECT window;
  GetWindowRect(window_, &window);
  const int width = window.right - window.left;
  const int height = window.bottom - window.top;
  const int x = area.left + (area.right - area.left - width) / 2;
  const int y = area.top + (area.bottom - area.top - height) / 2;
  SetWindowPos(window_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR Win32WindowSystem::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (IsControlColourMessage(message)) {
    colourMessage_ = message;
    colourWParam_ = wParam;
    colourLParam_ = lParam;
    Win32Dc dc(reinterpret_cast<HDC>(wParam));
    const int id = message == WM_CTLCOLORDLG ? 0 : GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
    // The brush itself is the answer of a dialog procedure here.
    return static_cast<INT_PTR>(dialog_->DispatchCtlColor(dc, id));
  }
  switch (message) {
    case WM_COMMAND:
      // BN_CLICKED, and STN_CLICKED of the link (SS_NOTIFY), are both 0.
      if (HIWORD(wParam) != BN_CLICKED) return FALSE;
      dialog_->DispatchClick(LOWORD(wParam));
      return TRUE;
    case WM_PAINT:
      paintByDefault_ = false;
      dialog_->DispatchPaint();
      return paintByDefault_ ? FALSE : TRUE;
    case WM_QUERYDRAGICON:
      return static_cast<INT_PTR>(dialog_->DispatchQueryDragIcon());
    case WM_DPICHANGED:
      // The fonts first; then the dialog manager (we answer FALSE) scales
      // the window, its template font and the layout to the new screen.
      dialog_->DispatchDpiChanged(HIWORD(wParam));
      return FALSE;
    default:
      return FALSE;
  }
}

void Win32WindowSystem::EndDialog(int code) {
  ::EndDialog(window_, code);
}

bool Win32WindowSystem::HasControl(int id) {
  return Control(id) != nullptr;
}

std::string Win32WindowSystem::GetControlText(int id) {
  HWND control = Control(id);
  const int length = GetWindowTextLengthA(control);
  std::vector<char> buffer(length + 1);
  const int got = GetWindowTextA(control, buffer.data(), length + 1);
  return std::string(buffer.data(), got);
}

void Win32WindowSystem::SetControlText(int id, const std::string& text) {
  SetWindowTextA(Control(id), text.c_str());
}

void Win32WindowSystem::EnableControl(int id, bool enable) {
  ::EnableWindow(Control(id), enable ? TRUE : FALSE);
}

bool Win32WindowSystem::IsControlEnabled(int id) {
  return ::IsWindowEnabled(Control(id)) != 0;
}

void Win32WindowSystem::LimitText(int id, int maxChars) {
  SendMessageA(Control(id), EM_LIMITTEXT, static_cast<WPARAM>(maxChars), 0);
}

void Win32WindowSystem::FocusAndSelectAll(int id) {
  HWND control = Control(id);
  SetFocus(control);
  char className[16] = {};
  GetClassNameA(control, className, sizeof className);
  if (lstrcmpiA(className, "Edit") == 0) SendMessageA(control, EM_SETSEL, 0, -1);
}

void Win32WindowSystem::SetControlFont(int id, GdiObject font, bool redraw) {
  HWND control = Control(id);
  // A font the program gives a control is its own choice: on a move to a
  // screen of another scale the dialog manager would otherwise replace it
  // with the template's font. The program sends the scaled font itself.
  static const auto keepFont =
      User32Function<SetDialogControlDpiChangeBehaviorFunction>("SetDialogControlDpiChangeBehavior");
  if (keepFont) keepFont(control, kDisableFontUpdate, kDisableFontUpdate);
  SendMessageA(control, WM_SETFONT, static_cast<WPARAM>(font), redraw ? TRUE : FALSE);
}

void Win32WindowSystem::SetIcon(IconHandle icon, bool big) {
  SendMessageA(window_, WM_SETICON, big ? ICON_BIG : ICON_SMALL, static_cast<LPARAM>(icon));
}

void Win32WindowSystem::UpdateWindow() {
  ::UpdateWindow(window_);
}

void Win32WindowSystem::MessageBox(const std::string& text) {
  MessageBoxA(window_, text.c_str(), ProgramName().c_str(), MB_OK | MB_ICONEXCLAMATION);
}

void Win32WindowSystem::ShellOpen(const std::string& address) {
  ShellExecuteA(window_, "open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

namespace {
// Whether the dialog manager, making a font of whole points for `dpi`, can
// have made one `height` pixels tall.
bool FontHeightFitsDpi(int height, int dpi) {
  for (int points = 1; points <= 72; ++points) {
    if (MulDiv(points, dpi, 72) == height) return true;
  }
  return false;
}
}  // namespace

int Win32WindowSystem::WindowDpi() {
  // Before Windows 10 every screen has the system's one scale.
  HDC screen = GetDC(nullptr);
  const int systemDpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen) ReleaseDC(nullptr, screen);
  static const auto dpiForWindow = User32Function<GetDpiForWindowFunction>("GetDpiForWindow");
  const int windowDpi = dpiForWindow ? static_cast<int>(dpiForWindow(window_)) : 0;
  if (windowDpi == 0) return systemDpi > 0 ? systemDpi : kUnscaledDpi;
  // Our fonts must grow with the dialog's own, which the dialog manager
  // made from the template. Windows makes it for the window's scale; Wine 10
  // makes it for the system's while it tells the window's from the X
  // screen's size (96 at 150 %). The font's height says which of the two
  // it was; when both fit, the window's.
  if (systemDpi > 0 && systemDpi != windowDpi) {
    LOGFONTA font;
    const auto dialogFont = reinterpret_cast<HFONT>(SendMessageA(window_, WM_GETFONT, 0, 0));
    if (dialogFont && GetObjectA(dialogFont, sizeof font, &font) == sizeof font &&
        font.lfHeight < 0 && !FontHeightFitsDpi(-font.lfHeight, windowDpi) &&
        FontHeightFitsDpi(-font.lfHeight, systemDpi)) {
      return systemDpi;
    }
  }
  return windowDpi;
}

bool Win32WindowSystem::IsIconic() {
  return ::IsIconic(window_) != 0;
}

Size Win32WindowSystem::ClientSize() {
  RECT client;
  GetClientRect(window_, &client);
  return {client.right - client.left, client.bottom - client.top};
}

Size Win32WindowSystem::SystemIconSize() {
  return {GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON)};
}

std::unique_ptr<CDC> Win32WindowSystem::BeginPaint() {
  auto dc = std::make_unique<Win32Dc>(nullptr);
  dc->dc = ::BeginPaint(window_, &dc->paint);
  return dc;
}

void Win32WindowSystem::EndPaint(CDC& dc) {
  ::EndPaint(window_, &static_cast<Win32Dc&>(dc).paint);
}

void Win32WindowSystem::EraseIconBackground(CDC& dc) {
  SendMessageA(window_, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(static_cast<Win32Dc&>(dc).dc),
               0);
}

void Win32WindowSystem::DefaultPaint() {
  paintByDefault_ = true;
}

GdiObject Win32WindowSystem::DefaultCtlColor(CDC&, int) {
  // The system's own colouring of the request under way: it sets the
  // dialog's text and face colours on the device context.
  return static_cast<GdiObject>(
      DefWindowProcA(window_, colourMessage_, colourWParam_, colourLParam_));
}

std::unique_ptr<WindowSystem> OpenHostWindowSystem(const std::function<void()>&) {
  return std::make_unique<Win32WindowSystem>(GetModuleHandleA(nullptr));
}

}  // namespace tessivo
