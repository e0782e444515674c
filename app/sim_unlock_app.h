// The application object: decides between console mode and the dialog.
#pragma once

#include "framework/win_app.h"

namespace tessivo {

class SimUnlockApp : public CWinApp {
 public:
  using CWinApp::CWinApp;

  // Console form ("... COM1 1234"): submit the PIN silently, exit status 0
  // when accepted and 1 otherwise, so scripts can rely on it. Any other
  // command line runs the dialog. Always answers false: no message loop.
  bool InitInstance() override;
};

// The dialog path, provided by the user-interface room (ui/dialog_path.cpp);
// the unit tests link a stand-in that simply returns.
void RunDialogPath(Platform& platform);

}  // namespace tessivo
