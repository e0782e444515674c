#include "tests/support/qt_dialog_run.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QTest>
#include <cstdlib>

#include "platform/platform.h"
#include "resources/resource.h"

namespace tessivo::testing {

QtDialogRun::QtDialogRun() : capture_(toneDir_.path()) {
  for (const auto& [key, value] : capture_.Environment()) setenv(key.c_str(), value.c_str(), 1);
  windows_.messageBoxHook = [](const QString& text) { ADD_FAILURE() << text.toStdString(); };
  windows_.urlOpener = [](const QUrl&) {};
}

void QtDialogRun::Show(const std::function<void(SimUnlockDialog&)>& script) {
  SimUnlockDialog dialog(HostPlatform(), windows_);
  windows_.whenShown = [&](QDialog& window) {
    window.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    script(dialog);
    if (windows_.window() && windows_.window()->isVisible()) {
      QTest::keyClick(windows_.window(), Qt::Key_Escape);
    }
  };
  EXPECT_EQ(dialog.DoModal(), kIdCancel);
}

bool QtDialogRun::Enabled(int id) const {
  return windows_.control(id)->isEnabled();
}

void QtDialogRun::Click(int id) {
  QTest::mouseClick(windows_.control(id), Qt::LeftButton);
}

void QtDialogRun::TypeInto(int id, const std::string& text) {
  auto* edit = qobject_cast<QLineEdit*>(windows_.control(id));
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Delete);
  QTest::keyClicks(edit, QString::fromStdString(text));
}

void QtDialogRun::PressEnterIn(int id) {
  QTest::keyClick(windows_.control(id), Qt::Key_Return);
}

QColor QtDialogRun::StatusColour() const {
  QTest::qWait(50);
  QWidget* status = windows_.control(IDC_STATUS);
  const QImage screen =
      QGuiApplication::primaryScreen()->grabWindow(windows_.window()->winId()).toImage();
  return screen.pixelColor(status->geometry().bottomLeft() + QPoint(4, -4));
}

}  // namespace tessivo::testing
