#include "app/sim_unlock_app.h"

#include "app/console_mode.h"
#include "app/usage.h"
#include "app/wait_mode.h"

namespace tessivo {

bool SimUnlockApp::InitInstance() {
  const auto arguments = platform().Arguments();
  const StartRequest request = arguments ? DecideStartFromArguments(*arguments)
                                         : DecideStartFromCommandLine(platform().CommandLine());
  // Whatever comes next, a PIN in the arguments leaves the process list
  // now: a dialog opened by a mistyped line may stay for hours.
  if (arguments && request.firstHiddenArgument != 0) {
    for (std::size_t i = request.firstHiddenArgument; i < arguments->size(); ++i) {
      platform().HideArgument(i);
    }
  }
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
    case StartKind::UsageError:
      platform().WriteError(UsageText() + UsageProblemLine(request, *arguments));
      SetExitCode(kUsageErrorExitStatus);
      break;
  }
  return false;
}

void SimUnlockApp::RunConsole(const StartRequest& request) {
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
  switch (RunDialogPath(platform(), explain)) {
    case DialogPathResult::Shown:
      break;
    case DialogPathResult::NoWindowSystem:
      explain();
      SetExitCode(kNoDialogExitStatus);
      break;
    case DialogPathResult::NotInstalled:
      platform().WriteError(UsageText() + DialogMissingText());
      SetExitCode(kNoDialogExitStatus);
      break;
  }
}

}  // namespace tessivo
