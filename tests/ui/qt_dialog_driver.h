// Runs SimUnlockDialog on the Qt window system inside a test: the modal run
// is real (QDialog::exec); the test's script runs once the window shows.
// Message boxes and the web opener are answered by hooks and recorded.
// The tests run under the offscreen platform (QT_QPA_PLATFORM=offscreen).
#pragma once

#include <QDialog>
#include <QString>
#include <QUrl>
#include <functional>
#include <string>
#include <vector>

#include "framework/qt/qt_window_system.h"
#include "tests/support/fake_platform.h"
#include "ui/sim_unlock_dialog.h"

namespace tessivo::testing {

// A modem on a fake port that answers the probe's questions like a SIM in
// the given state ("SIM PIN", "SIM PUK", "READY"); lockOn false: the PIN
// request is switched off. It takes kModemPin and rejects any other PIN.
constexpr const char* kModemPin = "1234";
void PlugInModem(FakePlatform& platform, const std::string& port, const std::string& pinState,
                 bool lockOn = true);

class QtDialogDriver {
 public:
  QtDialogDriver();

  // Runs the dialog modally; script runs while it shows. A script that
  // leaves the dialog open has it ended with kLeftOpen.
  int Run(const std::function<void(SimUnlockDialog&, QtWindowSystem&)>& script);
  static constexpr int kLeftOpen = -77;

  FakePlatform platform;
  QtWindowSystem windows;
  std::vector<QString> messageBoxes;
  std::vector<QUrl> opened;
};

}  // namespace tessivo::testing
