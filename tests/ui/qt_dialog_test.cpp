// The dialog on the Qt window system, run modally under the offscreen
// platform: what the user sees and can do.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include "framework/dialog_template.h"
#include "resources/resource.h"
#include "tests/ui/qt_dialog_driver.h"

namespace tessivo {
namespace {

using testing::PlugInModem;
using testing::QtDialogDriver;

QLineEdit* Edit(QtWindowSystem& w, int id) {
  return dynamic_cast<QLineEdit*>(w.control(id));
}
QPushButton* Button(QtWindowSystem& w, int id) {
  return dynamic_cast<QPushButton*>(w.control(id));
}
QLabel* Label(QtWindowSystem& w, int id) {
  return dynamic_cast<QLabel*>(w.control(id));
}

// The colour of the status area away from its text and its sunken edge, as
// the screen shows it now: without events being served in between, only a
// synchronous repaint can have put it there.
QColor StatusBackground(QtWindowSystem& windows) {
  QWidget* status = windows.control(IDC_STATUS);
  const QImage screen =
      QGuiApplication::primaryScreen()->grabWindow(windows.window()->winId()).toImage();
  const QPoint inside = status->geometry().bottomLeft() + QPoint(4, -4);
  return screen.pixelColor(inside);
}

TEST(QtDialog, ShowsTheTemplateControlsWithTheirTexts) {
  QtDialogDriver driver;
  PlugInModem(driver.platform, "COM1", "SIM PIN");
  driver.Run([](SimUnlockDialog&, QtWindowSystem& w) {
    EXPECT_EQ(w.window()->windowTitle(), "Tessivo");
    const struct {
      int id;
      const char* type;
      QString text;
    } expected[] = {
        {IDC_PORT, "QLineEdit", "COM1"},
        {IDC_PIN, "QLineEdit", ""},
        {IDC_SEND_PIN, "QPushButton", "PIN senden"},
        {IDC_TEST_MODEM, "QPushButton", "Modem testen"},
        {kIdCancel, "QPushButton", "Beenden"},
        {IDC_WEB_LINK, "QLabel", TESSIVO_WEB_LINK_TEXT},
        {IDC_NOTICE, "QLabel", TESSIVO_NOTICE_TEXT},
        {IDC_STATUS, "QLabel", "\nModem gefunden. \nPIN wird erwartet."},
    };
    for (const auto& e : expected) {
      SCOPED_TRACE(e.id);
      QWidget* widget = w.control(e.id);
      ASSERT_NE(widget, nullptr);
      EXPECT_TRUE(widget->inherits(e.type));
      if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        EXPECT_EQ(edit->text(), e.text);
      } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
        EXPECT_EQ(button->text(), e.text);
      } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        EXPECT_EQ(label->text(), e.text);
      }
      EXPECT_TRUE(widget->isVisible());
    }
    // The unnamed statics, in template order.
    QStringList statics;
    for (QLabel* label : w.window()->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
      statics << label->text();
    }
    EXPECT_EQ(statics,
              (QStringList{TESSIVO_WEB_LINK_TEXT, "Kommunikationsport:", "PIN:",
                           "Konsolenstart (Bsp.):  tessivo  COM1  1234", TESSIVO_NOTICE_TEXT,
                           "\nModem gefunden. \nPIN wird erwartet."}));
    EXPECT_FALSE(w.window()->windowIcon().isNull());
    EXPECT_TRUE(Button(w, IDC_SEND_PIN)->isDefault());
    EXPECT_TRUE(Button(w, IDC_SWITCH)->isEnabled());
  });
}

TEST(QtDialog, WithoutAModemTheSwitchIsDisabledAndThePortIsCOMxx) {
  QtDialogDriver driver;
  driver.Run([](SimUnlockDialog& d, QtWindowSystem& w) {
    EXPECT_EQ(Edit(w, IDC_PORT)->text(), "COMxx");
    EXPECT_FALSE(Button(w, IDC_SWITCH)->isEnabled());
    EXPECT_EQ(Button(w, IDC_SWITCH)->text().replace('\n', ' '), "PIN-Abfrage schalten");
    EXPECT_EQ(d.SwitchMode, 0);
    EXPECT_EQ(Label(w, IDC_STATUS)->text(), "\n\nCom-Port existiert nicht");
  });
}

TEST(QtDialog, TabOrderFollowsTheTemplateNotTheScreen) {
  QtDialogDriver driver;
  PlugInModem(driver.platform, "COM1", "SIM PIN");  // the switch is enabled
  driver.Run([](SimUnlockDialog&, QtWindowSystem& w) {
    EXPECT_EQ(QApplication::focusWidget(), w.control(IDC_PORT)) << "first tab stop";
    const int order[] = {IDC_PIN, IDC_SEND_PIN, IDC_TEST_MODEM, kIdCancel, IDC_SWITCH, IDC_PORT};
    for (int id : order) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      EXPECT_EQ(QApplication::focusWidget(), w.control(id)) << "expected control " << id;
    }
  });
}

TEST(QtDialog, TypingAndPastingStopAtTheLimits) {
  QtDialogDriver driver;
  driver.Run([](SimUnlockDialog&, QtWindowSystem& w) {
    const struct {
      int id;
      const char* typed;
      QString kept;
    } cases[] = {
        {IDC_PIN, "123456", "1234"},
        {IDC_PORT, "COM1234", "COM12"},
    };
    for (const auto& c : cases) {
      QLineEdit* edit = Edit(w, c.id);
      edit->clear();
      QTest::keyClicks(edit, c.typed);
      EXPECT_EQ(edit->text(), c.kept);
    }
    QLineEdit* pin = Edit(w, IDC_PIN);
    pin->setText("12");
    pin->setCursorPosition(2);
    QApplication::clipboard()->setText("98765");
    pin->paste();
    EXPECT_EQ(pin->text(), "1298") << "a paste is cut to what fits";
  });
  EXPECT_TRUE(driver.messageBoxes.empty()) << "the edit refuses; no message box";
}

TEST(QtDialog, AMemberLongerThanItsLimitShowsTheLengthBox) {
  QtDialogDriver driver;
  driver.Run([&](SimUnlockDialog& d, QtWindowSystem& w) {
    d.portName = "COM123";
    d.ShowFields();
    EXPECT_EQ(Edit(w, IDC_PORT)->text(), "COM123") << "the program's text is not cut";
    d.pin = "old";
    EXPECT_FALSE(d.FetchFields());
    ASSERT_EQ(driver.messageBoxes.size(), 1u);
    EXPECT_EQ(driver.messageBoxes[0], "Geben Sie bitte nicht mehr als 5 Zeichen ein.");
    EXPECT_EQ(QApplication::focusWidget(), w.control(IDC_PORT));
    EXPECT_EQ(Edit(w, IDC_PORT)->selectedText(), "COM123");
    EXPECT_EQ(d.pin, "old") << "the fetch stopped at the port";
  });
}

TEST(QtDialog, StatusColoursFollowStatusIsError) {
  QtDialogDriver driver;
  driver.Run([](SimUnlockDialog& d, QtWindowSystem& w) {
    const QColor textBefore = Label(w, IDC_STATUS)->palette().color(QPalette::WindowText);
    const struct {
      bool isError;
      QColor background;
    } cases[] = {{false, QColor(200, 200, 200)}, {true, QColor(200, 90, 50)}};
    for (const auto& c : cases) {
      d.statusIsError = c.isError;
      d.statusText = "\n\nPIN wurde akzeptiert";
      d.ShowFields();
      d.RepaintNow();
      EXPECT_EQ(StatusBackground(w), c.background) << "isError " << c.isError;
      EXPECT_EQ(Label(w, IDC_STATUS)->palette().color(QPalette::WindowText), textBefore);
    }
    for (int id : {IDC_WEB_LINK, IDC_NOTICE}) {
      EXPECT_EQ(Label(w, id)->palette().color(QPalette::WindowText), QColor(0, 43, 127));
    }
  });
}

TEST(QtDialog, FontsOfStatusAndLink) {
  QtDialogDriver driver;
  driver.Run([](SimUnlockDialog&, QtWindowSystem& w) {
    const QFont status = Label(w, IDC_STATUS)->font();
    const QFont link = Label(w, IDC_WEB_LINK)->font();
    EXPECT_TRUE(status.bold());
    EXPECT_FALSE(status.italic());
    EXPECT_TRUE(link.bold());
    EXPECT_TRUE(link.italic());
    EXPECT_LE(QFontMetrics(status).height(), 18);
    EXPECT_GE(QFontMetrics(status).height(), 16);
    EXPECT_LE(QFontMetrics(link).height(), 20);
    EXPECT_GE(QFontMetrics(link).height(), 18);
    EXPECT_EQ(Label(w, IDC_NOTICE)->font(), w.window()->font()) << "the template font";
  });
}

TEST(QtDialog, EveryWayOutEndsWithCancel) {
  const struct {
    const char* name;
    void (*leave)(QtWindowSystem&);
  } ways[] = {
      {"Beenden",
       [](QtWindowSystem& w) { QTest::mouseClick(w.control(kIdCancel), Qt::LeftButton); }},
      {"Esc", [](QtWindowSystem& w) { QTest::keyClick(w.control(IDC_PIN), Qt::Key_Escape); }},
      {"close box", [](QtWindowSystem& w) { w.window()->close(); }},
  };
  for (const auto& way : ways) {
    QtDialogDriver driver;
    const int code = driver.Run([&](SimUnlockDialog& d, QtWindowSystem& w) {
      d.portName = "COM123456";  // a fetch would complain
      d.ShowFields();
      way.leave(w);
    });
    EXPECT_EQ(code, kIdCancel) << way.name;
    EXPECT_TRUE(driver.messageBoxes.empty()) << way.name << ": cancel exchanges no data";
  }
}

TEST(QtDialog, EnterPressesTheDefaultButtonOrTheFocusedOne) {
  QtDialogDriver driver;
  driver.Run([](SimUnlockDialog&, QtWindowSystem& w) {
    // "PIN senden" with no PIN: refused at once with the request for four.
    Edit(w, IDC_PIN)->setFocus();
    QTest::keyClick(Edit(w, IDC_PIN), Qt::Key_Return);
    EXPECT_EQ(Label(w, IDC_STATUS)->text(), "\nBitte PIN vierstellig \neingeben");

    // With "Modem testen" focused, Enter runs it: a probe of COMxx.
    w.control(IDC_TEST_MODEM)->setFocus();
    QTest::keyClick(w.control(IDC_TEST_MODEM), Qt::Key_Return);
    EXPECT_EQ(Label(w, IDC_STATUS)->text(), "\n\nCom-Port existiert nicht");
  });
}

TEST(QtDialog, TheLinkOpensTheWebAddress) {
  QtDialogDriver driver;
  driver.Run([](SimUnlockDialog&, QtWindowSystem& w) {
    QTest::mouseClick(w.control(IDC_WEB_LINK), Qt::LeftButton);
    QTest::mouseClick(w.control(IDC_NOTICE), Qt::LeftButton);  // not a link
  });
  ASSERT_EQ(driver.opened.size(), 1u);
  EXPECT_EQ(driver.opened[0], QUrl(TESSIVO_WEB_ADDRESS));
}

TEST(QtDialog, GeometryIsProportionalToTheTemplate) {
  QtDialogDriver driver;
  driver.Run([](SimUnlockDialog&, QtWindowSystem& w) {
    const DialogTemplate& source = *FindDialogTemplate(IDD_SIMUNLOCK_DIALOG);
    const QSize client = w.window()->size();
    const double px = double(client.width()) / source.cx;   // pixels per horizontal unit
    const double py = double(client.height()) / source.cy;  // pixels per vertical unit
    const Size base = w.baseUnits();
    EXPECT_NEAR(px, base.cx / 4.0, 0.01);
    EXPECT_NEAR(py, base.cy / 8.0, 0.01);
    for (const auto& control : source.controls) {
      if (control.id == -1) continue;
      SCOPED_TRACE(control.text);
      const QRect g = w.control(control.id)->geometry();
      EXPECT_NEAR(g.x(), control.x * px, 1.0);
      EXPECT_NEAR(g.y(), control.y * py, 1.0);
      EXPECT_NEAR(g.width(), control.cx * px, 1.0);
      EXPECT_NEAR(g.height(), control.cy * py, 1.0);
    }
  });
}

TEST(QtDialog, TheWindowIsCentredOnTheScreen) {
  QtDialogDriver driver;
  driver.Run([](SimUnlockDialog&, QtWindowSystem& w) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QPoint centre = w.window()->geometry().center();
    EXPECT_NEAR(centre.x(), screen.center().x(), 2);
    EXPECT_NEAR(centre.y(), screen.center().y(), 2);
  });
}

TEST(QtDialog, TextsCrossTheWidgetBoundaryAsWindows1252) {
  QtDialogDriver driver;
  driver.Run([](SimUnlockDialog& d, QtWindowSystem& w) {
    const struct {
      QString typed;
      std::string fetched;
    } cases[] = {
        {QString::fromUtf8("\u20ac\u00fc"), "\x80\xfc"},  // euro sign (not Latin-1), u-umlaut
        {QString::fromUtf8("\u0142x"), "?x"},             // l-stroke: not in the code page
        {QString::fromUtf8("\u201c\u2122"), "\x93\x99"},  // curly quote, trade mark
    };
    for (const auto& c : cases) {
      Edit(w, IDC_PIN)->setText(c.typed);
      d.FetchFields();
      EXPECT_EQ(d.pin, c.fetched);
    }
    d.statusText =
        "\nUnerwartete R\xfc"
        "ckmeldung\nBitte [Modem testen]";
    d.ShowFields();
    EXPECT_EQ(Label(w, IDC_STATUS)->text(),
              QString::fromUtf8("\nUnerwartete R\u00fcckmeldung\nBitte [Modem testen]"));
  });
}

}  // namespace
}  // namespace tessivo
