// Draws the Linux dialog in one of its main states into a PNG file, on the
// offscreen platform against a fake modem on COM3:
//   dialog_screenshot OUT.png [pin-expected|accepted|wrong-pin|pin-request-off|no-modem]
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cstdio>
#include <cstring>

#include "resources/resource.h"
#include "tests/ui/qt_dialog_driver.h"

using namespace tessivo;

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUT.png [state]\n", argv[0]);
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  const QString out = argv[1];
  const std::string state = argc > 2 ? argv[2] : "pin-expected";

  testing::FakePlatform platform;
  if (state == "pin-request-off") {
    testing::PlugInModem(platform, "COM3", "READY", false);
  } else if (state != "no-modem") {
    testing::PlugInModem(platform, "COM3", "SIM PIN");
  }
  QtWindowSystem windows;
  SimUnlockDialog dialog(platform, windows);
  bool saved = false;
  windows.whenShown = [&](QDialog& window) {
    if (!QTest::qWaitForWindowExposed(&window)) std::fprintf(stderr, "window not exposed\n");
    auto* pin = static_cast<QLineEdit*>(windows.control(IDC_PIN));
    auto* send = static_cast<QPushButton*>(windows.control(IDC_SEND_PIN));
    if (state == "accepted" || state == "wrong-pin") {
      QTest::keyClicks(pin, state == "accepted" ? testing::kModemPin : "4321");
      QTest::mouseClick(send, Qt::LeftButton);
    }
    saved = window.grab().save(out, "PNG");
    dialog.EndDialog(kIdCancel);
  };
  dialog.DoModal();
  if (!saved) std::fprintf(stderr, "could not write %s\n", argv[1]);
  return saved ? 0 : 1;
}
