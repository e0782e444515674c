// One run of the real dialog on Linux, driven like a user: the Qt window
// under the offscreen platform, the host's platform (serial ports, the
// ModemManager way where it applies) and the tones captured through ALSA.
// The end-to-end tests and the tests beside the real ModemManager both drive
// the dialog through it; each adds the modems it needs.
#pragma once

#include <QColor>
#include <functional>
#include <string>
#include <vector>

#include "framework/qt/qt_window_system.h"
#include "tests/support/process.h"
#include "tests/support/tone_capture.h"
#include "ui/sim_unlock_dialog.h"

namespace tessivo::testing {

class QtDialogRun {
 public:
  QtDialogRun();

  // Runs the dialog; the script sees it once it shows, then it is closed.
  // A message box fails the test.
  void Show(const std::function<void(SimUnlockDialog&)>& script);

  // What a control shows, as Windows-1252 bytes (a multi-line button shows
  // its caption wrapped; the caption itself is what the window system holds).
  std::string Text(int id) { return windows_.GetControlText(id); }
  bool Enabled(int id) const;
  void Click(int id);
  // Replaces the field's text with ASCII text, key by key.
  void TypeInto(int id, const std::string& text);
  void PressEnterIn(int id);
  // The status area's background once pending paints are done, as the
  // screen shows it.
  QColor StatusColour() const;

  std::vector<CapturedTone> Tones() const { return capture_.Tones(); }

 private:
  TempDir toneDir_;
  ToneCapture capture_;
  QtWindowSystem windows_;
};

}  // namespace tessivo::testing
