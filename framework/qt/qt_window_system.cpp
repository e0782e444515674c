#include "framework/qt/qt_window_system.h"

#include <QApplication>
#include <QBuffer>
#include <QDesktopServices>
#include <QFontMetrics>
#include <QImageReader>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <cstdlib>

#include "framework/dialog.h"
#include "framework/qt/display_probe.h"
#include "framework/qt/program_icon.h"
#include "framework/qt/qt_dialog_window.h"
#include "text/unicode_1252.h"

namespace tessivo {
namespace {

// The program's name, the title of its message boxes.
constexpr const char* kProgramName = "Tessivo";
constexpr int kProgramIconId = 128;
constexpr Size kSystemIconSize{32, 32};

// Verdana is rarely installed on Linux; DejaVu Sans is its nearest kin.
void SubstituteMissingFonts() {
  QFont::insertSubstitution("Verdana", "DejaVu Sans");
}

// Qt wants argc and argv alive as long as the application.
int gArgc = 1;
char gProgram[] = "tessivo";
char* gArgv[] = {gProgram, nullptr};

QIcon IconFromIcoFile(std::string_view bytes) {
  QByteArray data(bytes.data(), static_cast<int>(bytes.size()));
  QBuffer buffer(&data);
  QImageReader reader(&buffer, "ico");
  QIcon icon;
  for (int i = 0; i < reader.imageCount(); ++i) {
    if (!reader.jumpToImage(i)) break;
    const QImage image = reader.read();
    if (!image.isNull()) icon.addPixmap(QPixmap::fromImage(image));
  }
  return icon;
}

class NullDc : public CDC {
 public:
  void SetTextColor(Rgb) override {}
  void SetBkColor(Rgb) override {}
  void DrawIcon(int, int, IconHandle) override {}
};

}  // namespace

QString QStringFrom1252(const std::string& text) {
  QString out;
  out.reserve(static_cast<int>(text.size()));
  for (char c : text) out.append(QChar(static_cast<char16_t>(UnicodeFrom1252(c))));
  return out;
}

std::string Cp1252FromQString(const QString& text) {
  std::string out;
  for (char32_t c : text.toUcs4()) out.push_back(Cp1252FromUnicode(c));
  return out;
}

QFont FontFor(const LogFont& description) {
  QFont font(QString::fromStdString(description.faceName));
  font.setWeight(description.weight >= 600 ? QFont::Bold : QFont::Normal);
  font.setItalic(description.italic);
  if (description.height < 0) {
    font.setPixelSize(-description.height);
  } else if (description.height > 0) {
    // A cell height: the largest size whose ascent plus descent fits.
    int pixels = description.height;
    font.setPixelSize(pixels);
    while (pixels > 1 && QFontMetrics(font).height() > description.height) {
      font.setPixelSize(--pixels);
    }
  }
  return font;
}

QtWindowSystem::QtWindowSystem() : QtWindowSystem(nullptr) {}

QtWindowSystem::QtWindowSystem(std::unique_ptr<QApplication> application)
    : ownApplication_(std::move(application)) {
  if (!ownApplication_ && !QApplication::instance()) {
    ownApplication_ = std::make_unique<QApplication>(gArgc, gArgv);
  }
  SubstituteMissingFonts();
}

QtWindowSystem::~QtWindowSystem() = default;

Size QtWindowSystem::BaseUnitsOf(const QFont& font) {
  // As Windows measures a dialog font: the average width of the 52 Latin
  // letters, rounded, and the full character cell height.
  const QFontMetrics metrics(font);
  const int letters =
      metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  return {(letters / 26 + 1) / 2, metrics.height()};
}

QDialog* QtWindowSystem::window() const {
  return window_.get();
}
QWidget* QtWindowSystem::control(int id) const {
  return window_ ? window_->control(id) : nullptr;
}
Size QtWindowSystem::baseUnits() const {
  return window_ ? window_->baseUnits() : Size{};
}

GdiObject QtWindowSystem::CreateFontIndirect(const LogFont& font) {
  const GdiObject handle = nextHandle_++;
  fonts_[handle] = FontFor(font);
  return handle;
}

GdiObject QtWindowSystem::CreateSolidBrush(Rgb colour) {
  const GdiObject handle = nextHandle_++;
  brushes_[handle] = QColor(colour.red, colour.green, colour.blue);
  return handle;
}

void QtWindowSystem::DeleteObject(GdiObject object) {
  fonts_.erase(object);
  brushes_.erase(object);
}

QColor QtWindowSystem::BrushColour(GdiObject brush) const {
  const auto it = brushes_.find(brush);
  return it == brushes_.end() ? QColor() : it->second;
}

IconHandle QtWindowSystem::LoadIcon(int resourceId) {
  if (resourceId != kProgramIconId) return 0;
  const QIcon icon = IconFromIcoFile(ProgramIconFile());
  if (icon.isNull()) return 0;
  const IconHandle handle = nextHandle_++;
  icons_[handle] = icon;
  return handle;
}

int QtWindowSystem::DialogBox(int templateId, CDialog& dialog) {
  const DialogTemplate* source = FindDialogTemplate(templateId);
  if (!source) return -1;
  window_ = std::make_unique<QtDialogWindow>(*this, dialog, *source);
  const QPoint placed = window_->pos();

  const bool focusFirst = dialog.DispatchInitDialog();
  int code = window_->endCode();
  if (!window_->ended()) {
    if (focusFirst) window_->FocusFirstTabStop();
    // Not moved by the initialisation, and no owner: centred on the screen.
    if (window_->pos() == placed) {
      const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
      window_->move(screen.center() - window_->rect().center());
    }
    if (whenShown) {
      QTimer::singleShot(0, window_.get(), [this] {
        if (window_ && window_->isVisible()) whenShown(*window_);
      });
    }
    code = window_->exec();
  }
  window_.reset();
  return code;
}

void QtWindowSystem::EndDialog(int code) {
  if (window_) window_->End(code);
}

bool QtWindowSystem::HasControl(int id) {
  return control(id) != nullptr;
}

std::string QtWindowSystem::GetControlText(int id) {
  return window_ ? window_->Text(id) : std::string();
}

void QtWindowSystem::SetControlText(int id, const std::string& text) {
  if (window_) window_->SetText(id, text);
}

void QtWindowSystem::EnableControl(int id, bool enable) {
  if (QWidget* widget = control(id)) widget->setEnabled(enable);
}

bool QtWindowSystem::IsControlEnabled(int id) {
  QWidget* widget = control(id);
  return widget && widget->isEnabled();
}

void QtWindowSystem::LimitText(int id, int maxChars) {
  if (window_) window_->LimitText(id, maxChars);
}

void QtWindowSystem::FocusAndSelectAll(int id) {
  QWidget* widget = control(id);
  if (!widget) return;
  widget->setFocus(Qt::OtherFocusReason);
  if (auto* edit = dynamic_cast<QLineEdit*>(widget)) edit->selectAll();
}

void QtWindowSystem::SetControlFont(int id, GdiObject font, bool redraw) {
  QWidget* widget = control(id);
  const auto it = fonts_.find(font);
  if (!widget || it == fonts_.end()) return;
  widget->setFont(it->second);
  if (redraw) widget->update();
}

void QtWindowSystem::SetIcon(IconHandle icon, bool) {
  // Qt picks the size it needs from the one icon with both images.
  const auto it = icons_.find(icon);
  if (window_ && it != icons_.end()) window_->setWindowIcon(it->second);
}

void QtWindowSystem::UpdateWindow() {
  if (window_) window_->repaint();
}

void QtWindowSystem::MessageBox(const std::string& text) {
  const QString shown = QStringFrom1252(text);
  if (messageBoxHook) {
    messageBoxHook(shown);
    return;
  }
  QMessageBox box(QMessageBox::Warning, kProgramName, shown, QMessageBox::Ok, window_.get());
  box.exec();
}

void QtWindowSystem::ShellOpen(const std::string& address) {
  const QUrl url(QStringFrom1252(address));
  if (urlOpener) {
    urlOpener(url);
  } else {
    QDesktopServices::openUrl(url);
  }
}

// A Qt window is never painted minimised; the desktop shows its icon.
bool QtWindowSystem::IsIconic() {
  return window_ && window_->isMinimized();
}
Size QtWindowSystem::ClientSize() {
  return window_ ? Size{window_->width(), window_->height()} : Size{};
}
Size QtWindowSystem::SystemIconSize() {
  return kSystemIconSize;
}
std::unique_ptr<CDC> QtWindowSystem::BeginPaint() {
  return std::make_unique<NullDc>();
}
void QtWindowSystem::EndPaint(CDC&) {}
void QtWindowSystem::EraseIconBackground(CDC&) {}
void QtWindowSystem::DefaultPaint() {}

// The standard colours are the palette the control already has.
GdiObject QtWindowSystem::DefaultCtlColor(CDC&, int) {
  return 0;
}

namespace {

// While the application starts, Qt's messages stay off the user's terminal,
// and a failure it would end the process on gets the caller's last words
// instead of a core dump.
std::function<void()> gLastWords;

void StartupMessages(QtMsgType type, const QMessageLogContext&, const QString&) {
  if (type != QtFatalMsg) return;
  if (gLastWords) gLastWords();
  std::_Exit(EXIT_FAILURE);
}

}  // namespace

std::unique_ptr<WindowSystem> OpenHostWindowSystem(const std::function<void()>& lastWords) {
  const char* requested = std::getenv("QT_QPA_PLATFORM");
  static std::string platform;  // Qt keeps pointers into its arguments
  platform = ChooseQtPlatform(requested ? requested : "", ProbeDisplays());
  if (platform.empty()) return nullptr;

  static char program[] = "tessivo";
  static char option[] = "-platform";
  static int argc = 3;
  static char* argv[] = {program, option, platform.data(), nullptr};
  gLastWords = lastWords;
  const QtMessageHandler previous = qInstallMessageHandler(StartupMessages);
  auto application = std::make_unique<QApplication>(argc, argv);
  // Wayland matches a window to its menu entry (name, icon) by this id.
  QGuiApplication::setDesktopFileName(QStringLiteral(TESSIVO_APP_ID));
  qInstallMessageHandler(previous);
  gLastWords = nullptr;
  return std::make_unique<QtWindowSystem>(std::move(application));
}

}  // namespace tessivo
