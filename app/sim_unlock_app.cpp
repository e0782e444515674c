#include "app/sim_unlock_app.h"

#include "app/console_mode.h"
#include "app/usage.h"
#include "app/wait_mode.h"

namespace tessivo {

bool SimUnlockApp::InitInstance() {
  const auto arguments = platform().Arguments();
  const StartRequest request = arguments ? DecideStartFromArguments(*arguments)
                                         : DecideStartFromCommandLine(platform().CommandLine());
  switch (request.kind) {
    case StartKind::Console:
      RunConsole(request);
      break;
    case StartKind::Help:
      platform().WriteOutput(UsageText());
      break;
    case StartKind::Version:
      platform().WriteOutput(VersionText());
      break;
    case StartKind::Dialog:
      RunDialogOrExplain();
      break;
  }
  return false;
}

void SimUnlockApp::RunConsole(const StartRequest& request) {
  // Out of the process list before the seconds the run takes.
  if (request.pinArgument != 0) platform().HideArgument(request.pinArgument);
  std::string pin = request.pin;
  if (request.pinFromInput) pin = PinFromInputLine(platform().ReadSecretLine().value_or(""));
  const ConsoleOutcome outcome =
      request.waitSeconds
          ? RunWaitMode(platform(), request.port, pin, {*request.waitSeconds, request.lastTry})
          : RunConsoleMode(platform(), request.port, pin);
  SetExitCode(ExitStatusFor(outcome));
}

void SimUnlockApp::RunDialogOrExplain() {
  const auto explain = [this] { platform().WriteError(UsageText()); };
  if (!RunDialogPath(platform(), explain)) {
    explain();
    SetExitCode(kNoDialogExitStatus);
  }
}

}  // namespace tessivo
