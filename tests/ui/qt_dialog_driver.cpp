#include "tests/ui/qt_dialog_driver.h"

#include <gtest/gtest.h>

#include <QTest>

namespace tessivo::testing {

void PlugInModem(FakePlatform& platform, const std::string& port, const std::string& pinState,
                 bool lockOn) {
  platform.Port(port).modem = [pinState, lockOn](const std::string& line) {
    std::vector<std::pair<long, std::string>> reply;
    if (line == "ATZ\r") {
      reply.emplace_back(20, "\r\nOK\r\n");
    } else if (line == "AT+CLCK=\"SC\",2\r") {
      reply.emplace_back(20, lockOn ? "\r\n+CLCK: 1\r\n\r\nOK\r\n" : "\r\n+CLCK: 0\r\n\r\nOK\r\n");
    } else if (line == "AT+CPIN?\r") {
      reply.emplace_back(20, "\r\n+CPIN: " + pinState + "\r\n\r\nOK\r\n");
    } else if (line == "AT+CPIN=" + std::string(kModemPin) + "\r") {
      reply.emplace_back(20, "\r\nOK\r\n");
    } else if (line.rfind("AT+CPIN=", 0) == 0) {
      reply.emplace_back(20, "\r\n+CME ERROR: incorrect password\r\n");
    } else {
      reply.emplace_back(20, "\r\nERROR\r\n");
    }
    return reply;
  };
}

QtDialogDriver::QtDialogDriver() {
  windows.messageBoxHook = [this](const QString& text) { messageBoxes.push_back(text); };
  windows.urlOpener = [this](const QUrl& address) { opened.push_back(address); };
}

int QtDialogDriver::Run(const std::function<void(SimUnlockDialog&, QtWindowSystem&)>& script) {
  SimUnlockDialog dialog(platform, windows);
  windows.whenShown = [&](QDialog& window) {
    // As for a user: the window is on the screen and has the keyboard.
    window.activateWindow();
    if (!QTest::qWaitForWindowActive(&window)) ADD_FAILURE() << "the dialog never became active";
    script(dialog, windows);
    if (windows.window() && windows.window()->isVisible()) dialog.EndDialog(kLeftOpen);
  };
  return dialog.DoModal();
}

}  // namespace tessivo::testing
