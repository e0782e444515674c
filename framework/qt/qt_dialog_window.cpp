#include "framework/qt/qt_dialog_window.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QStringList>
#include <QStyle>
#include <QValidator>

#include "framework/dialog.h"
#include "framework/qt/qt_window_system.h"

namespace tessivo {
namespace {

// What Windows' MulDiv does: a * b / c, rounded half away from zero.
int MulDiv(int a, int b, int c) {
  const long long product = static_cast<long long>(a) * b;
  const long long half = c / 2;
  return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

// The edit control's typing limit, which unlike QLineEdit::setMaxLength
// never cuts a text that the program set: it only refuses what the user
// adds beyond the limit (typed or pasted; a paste is cut to what fits).
class TypingLimit : public QValidator {
 public:
  TypingLimit(QLineEdit& edit, int maxChars) : QValidator(&edit), maxChars_(maxChars) {
    accepted_ = edit.text();
    QObject::connect(&edit, &QLineEdit::textChanged, this,
                     [this](const QString& text) { accepted_ = text; });
  }
  void SetLimit(int maxChars) { maxChars_ = maxChars; }
  // The program sets texts of any length; the limit binds only the user.
  void Allow(const QString& text) { accepted_ = text; }
  State validate(QString& input, int& pos) const override {
    const int allowed = std::max(maxChars_, static_cast<int>(accepted_.size()));
    const int excess = static_cast<int>(input.size()) - allowed;
    if (excess > 0) {
      const int from = std::max(0, pos - excess);
      input.remove(from, pos - from);
      pos = from;
    }
    return Acceptable;
  }

 private:
  int maxChars_;
  QString accepted_;
};

// A push button whose caption wraps at word boundaries within its width
// (BS_MULTILINE); QPushButton itself only breaks at line feeds.
class WrappingButton : public QPushButton {
 public:
  using QPushButton::QPushButton;
  void SetCaption(const QString& caption) {
    caption_ = caption;
    Rewrap();
  }

 protected:
  void resizeEvent(QResizeEvent* e) override {
    QPushButton::resizeEvent(e);
    Rewrap();
  }
  void changeEvent(QEvent* e) override {
    QPushButton::changeEvent(e);
    if (e->type() == QEvent::FontChange) Rewrap();
  }

 private:
  void Rewrap() {
    const QFontMetrics metrics(font());
    const int width =
        this->width() - 2 * style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, this);
    QStringList lines;
    for (const QString& word : caption_.split(' ')) {
      if (!lines.isEmpty() && metrics.horizontalAdvance(lines.back() + ' ' + word) <= width) {
        lines.back() += ' ' + word;
      } else {
        lines.append(word);
      }
    }
    setText(lines.join('\n'));
  }
  QString caption_;
};

// The surface of a control-colour request: records what the dialog sets.
class ColourRequest : public CDC {
 public:
  void SetTextColor(Rgb colour) override { text = QColor(colour.red, colour.green, colour.blue); }
  void SetBkColor(Rgb colour) override {
    background = QColor(colour.red, colour.green, colour.blue);
  }
  void DrawIcon(int, int, IconHandle) override {}
  QColor text, background;
};

// A static control: asks the dialog for its colours each time it paints, as
// Windows does with WM_CTLCOLORSTATIC, and reports clicks (SS_NOTIFY).
class StaticControl : public QLabel {
 public:
  StaticControl(QWidget* parent, QtWindowSystem& windows, CDialog& dialog, int id, bool notify)
      : QLabel(parent), windows_(windows), dialog_(dialog), id_(id), notify_(notify) {
    base_ = palette();
  }

 protected:
  void paintEvent(QPaintEvent* e) override {
    ColourRequest request;
    const QColor brush = windows_.BrushColour(dialog_.DispatchCtlColor(request, id_));
    QPalette wanted = base_;
    if (request.text.isValid()) wanted.setColor(QPalette::WindowText, request.text);
    // The new palette serves this paint at once; only a change costs one
    // more (idle) paint.
    if (wanted != palette()) setPalette(wanted);
    if (brush.isValid()) {
      QPainter painter(this);
      painter.fillRect(rect(), brush);
    }
    QLabel::paintEvent(e);
  }
  void mouseReleaseEvent(QMouseEvent* e) override {
    QLabel::mouseReleaseEvent(e);
    if (notify_ && e->button() == Qt::LeftButton && rect().contains(e->position().toPoint())) {
      dialog_.DispatchClick(id_);
    }
  }

 private:
  QtWindowSystem& windows_;
  CDialog& dialog_;
  int id_;
  bool notify_;
  QPalette base_;
};

Qt::Alignment StaticAlignment(std::uint32_t styleBits) {
  Qt::Alignment horizontal = Qt::AlignLeft;
  switch (styleBits & style::kStaticTypeMask) {
    case style::kStaticCenter:
      horizontal = Qt::AlignHCenter;
      break;
    case style::kStaticRight:
      horizontal = Qt::AlignRight;
      break;
    default:
      break;
  }
  const Qt::Alignment vertical =
      (styleBits & style::kCenterImage) ? Qt::AlignVCenter : Qt::AlignTop;
  return horizontal | vertical;
}

}  // namespace

QtDialogWindow::QtDialogWindow(QtWindowSystem& windows, CDialog& dialog,
                               const DialogTemplate& source)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      windows_(windows),
      dialog_(dialog) {
  // The template's point size at the 96 dots per inch that dialog layouts
  // are designed for; negative: a character height, as Windows asks for it.
  LogFont templateFont;
  templateFont.height = -MulDiv(source.pointSize, 96, 72);
  templateFont.weight = source.weight;
  templateFont.italic = source.italic;
  templateFont.faceName = source.faceName;
  setFont(FontFor(templateFont));
  baseUnits_ = QtWindowSystem::BaseUnitsOf(font());

  setWindowTitle(QStringFrom1252(source.caption));
  const QRect client = PixelRect(0, 0, source.cx, source.cy);
  setFixedSize(client.size());

  QWidget* previous = nullptr;
  for (const auto& control : source.controls) {
    QWidget* widget = Create(control);
    widget->setGeometry(PixelRect(control.x, control.y, control.cx, control.cy));
    controls_.emplace_back(control, widget);
    if (control.id != -1) texts_[control.id] = control.text;
    if (control.style & style::kTabStop) {
      if (previous) setTabOrder(previous, widget);
      previous = widget;
    }
  }
}

QWidget* QtDialogWindow::Create(const ControlTemplate& control) {
  const int id = control.id;
  const QString text = QStringFrom1252(control.text);
  if (control.className == "Edit") {
    auto* edit = new QLineEdit(text, this);
    edit->setFrame((control.style & style::kBorder) != 0);
    return edit;
  }
  if (control.className == "Button") {
    QPushButton* button;
    if (control.style & style::kMultiline) {
      auto* wrapping = new WrappingButton(this);
      wrapping->SetCaption(text);
      button = wrapping;
    } else {
      button = new QPushButton(text, this);
    }
    button->setAutoDefault(true);
    button->setDefault((control.style & style::kButtonTypeMask) == style::kDefPushButton);
    button->setFocusPolicy((control.style & style::kTabStop) ? Qt::StrongFocus : Qt::ClickFocus);
    QObject::connect(button, &QPushButton::clicked, this,
                     [this, id] { dialog_.DispatchClick(id); });
    return button;
  }
  const bool notify = (control.style & style::kStaticNotify) != 0;
  auto* label = new StaticControl(this, windows_, dialog_, id, notify);
  label->setTextFormat(Qt::PlainText);
  label->setText(text);
  label->setAlignment(StaticAlignment(control.style));
  label->setWordWrap((control.style & style::kCenterImage) == 0);
  if (control.style & style::kSunken) label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  if (notify) label->setCursor(Qt::PointingHandCursor);
  return label;
}

QRect QtDialogWindow::PixelRect(int x, int y, int cx, int cy) const {
  const int left = MulDiv(x, baseUnits_.cx, 4);
  const int top = MulDiv(y, baseUnits_.cy, 8);
  const int right = MulDiv(x + cx, baseUnits_.cx, 4);
  const int bottom = MulDiv(y + cy, baseUnits_.cy, 8);
  return QRect(left, top, right - left, bottom - top);
}

QWidget* QtDialogWindow::control(int id) const {
  for (const auto& [source, widget] : controls_) {
    if (source.id == id) return widget;
  }
  return nullptr;
}

const ControlTemplate* QtDialogWindow::source(int id) const {
  for (const auto& entry : controls_) {
    if (entry.first.id == id) return &entry.first;
  }
  return nullptr;
}

std::string QtDialogWindow::Text(int id) const {
  if (auto* edit = dynamic_cast<QLineEdit*>(control(id))) return Cp1252FromQString(edit->text());
  const auto it = texts_.find(id);
  return it == texts_.end() ? std::string() : it->second;
}

void QtDialogWindow::SetText(int id, const std::string& text) {
  QWidget* widget = control(id);
  const QString shown = QStringFrom1252(text);
  texts_[id] = text;
  if (auto* edit = dynamic_cast<QLineEdit*>(widget)) {
    if (auto* limit = dynamic_cast<const TypingLimit*>(edit->validator())) {
      const_cast<TypingLimit*>(limit)->Allow(shown);
    }
    edit->setText(shown);
  } else if (auto* wrapping = dynamic_cast<WrappingButton*>(widget)) {
    wrapping->SetCaption(shown);
  } else if (auto* button = dynamic_cast<QPushButton*>(widget)) {
    button->setText(shown);
  } else if (auto* label = dynamic_cast<QLabel*>(widget)) {
    label->setText(shown);
  }
}

void QtDialogWindow::LimitText(int id, int maxChars) {
  auto* edit = dynamic_cast<QLineEdit*>(control(id));
  if (!edit) return;
  if (auto* limit = dynamic_cast<const TypingLimit*>(edit->validator())) {
    const_cast<TypingLimit*>(limit)->SetLimit(maxChars);
  } else {
    edit->setValidator(new TypingLimit(*edit, maxChars));
  }
}

void QtDialogWindow::FocusFirstTabStop() {
  for (const auto& [source, widget] : controls_) {
    if (source.style & style::kTabStop) {
      widget->setFocus(Qt::TabFocusReason);
      return;
    }
  }
}

void QtDialogWindow::End(int code) {
  ended_ = true;
  endCode_ = code;
  done(code);
}

void QtDialogWindow::reject() {
  dialog_.DispatchClick(kIdCancel);
}
void QtDialogWindow::accept() {
  dialog_.DispatchClick(kIdOk);
}

}  // namespace tessivo
