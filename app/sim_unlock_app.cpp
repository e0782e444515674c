#include "app/sim_unlock_app.h"

#include "app/console_mode.h"
#include "app/sim_forms.h"
#include "app/usage.h"
#include "platform/signals.h"
#include "text/wipe.h"
#include "app/wait_mode.h"
#include "platform/signals.h"

namespace tessivo {

bool SimUnlockApp::InitInstance() {
  auto arguments = platform().Arguments();
  StartRequest request = arguments ? DecideStartFromArguments(*arguments)
                                   : DecideStartFromCommandLine(platform().CommandLine());
  // Whatever comes next, a PIN in the arguments leaves the process list
  // now: a dialog opened by a mistyped line may stay for hours.
  if (arguments && request.firstHiddenArgument != 0) {
    for (std::size_t i = request.firstHiddenArgument; i < arguments->size(); ++i) {
      platform().HideArgument(i);
    }
  }
  const std::string problem =
      request.kind == StartKind::UsageError ? UsageProblemLine(request, *arguments) : "";
  // Our copy of the arguments is done with; a dialog may run for hours.
  if (arguments) {
    for (std::string& argument : *arguments) WipeSecret(argument);
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
      platform().WriteError(UsageText() + problem);
      SetExitCode(kUsageErrorExitStatus);
      break;
    case StartKind::Status:
    case StartKind::Puk:
    case StartKind::ChangePin:
      RunSimForm(request);
      break;
  }
  WipeSecret(request.pin);
  return false;
}

// A secret file others may read gave the secret away already: 6, with the
// remedy named, and nothing read.
bool SimUnlockApp::RefusedSecretInput() {
  const std::string refusal = platform().SecretInputRefusal();
  if (refusal.empty()) return false;
  const int status = ExitStatusFor(ConsoleOutcome::UnsafePin);
  platform().WriteError(refusal + " (Status " + std::to_string(status) + ")\n");
  SignalFailure(platform());
  SetExitCode(status);
  return true;
}

void SimUnlockApp::RunConsole(const StartRequest& request) {
  std::string pin = request.pin;
  if (request.pinFromInput) {
    if (RefusedSecretInput()) return;
    // Under --wait a writer that never ends the line cannot hold the run
    // past its deadline.
    const unsigned bound = request.waitSeconds ? *request.waitSeconds * 1000 : 0;
    std::optional<std::string> line = platform().ReadSecretLine(bound);
    if (line) {
      pin = PinFromInputLine(*line);
      WipeSecret(*line);
    }
  }
  const ConsoleOutcome outcome =
      request.waitSeconds
          ? RunWaitMode(platform(), request.port, pin, {*request.waitSeconds, request.lastTry})
          : RunConsoleMode(platform(), request.port, pin);
  WipeSecret(pin);
  SetExitCode(ExitStatusFor(outcome));
}

void SimUnlockApp::RunSimForm(StartRequest& request) {
  const FormSettings settings{request.waitSeconds.value_or(0), request.lastTry};
  // The secrets given as "-" come from standard input, one a line, in the
  // order of the arguments; one that is missing stays empty and fails its
  // form test.
  const bool anyFromInput = request.pinFromInput || request.pukFromInput || request.newPinFromInput;
  if (request.kind != StartKind::Status && anyFromInput && RefusedSecretInput()) return;
  // Under --wait a writer that never ends its line cannot hold the run.
  const unsigned bound = request.waitSeconds ? *request.waitSeconds * 1000 : 0;
  const auto fromInput = [this, bound](bool wanted, std::string& secret) {
    if (!wanted) return;
    std::optional<std::string> line = platform().ReadSecretLine(bound);
    if (line) {
      secret = PinFromInputLine(*line);
      WipeSecret(*line);
    }
  };
  ConsoleOutcome outcome = ConsoleOutcome::UnsafePin;
  switch (request.kind) {
    case StartKind::Puk:
      fromInput(request.pukFromInput, request.puk);
      fromInput(request.newPinFromInput, request.newPin);
      if (request.badSecret) {
        platform().WriteError(PukReport({outcome, FormEnd::BadSecret}));
        SignalFailure(platform());
      } else {
        outcome = RunPukForm(platform(), request.port, request.puk, request.newPin, settings);
      }
      break;
    case StartKind::ChangePin:
      fromInput(request.pinFromInput, request.pin);
      fromInput(request.newPinFromInput, request.newPin);
      if (request.badSecret) {
        platform().WriteError(ChangePinReport({outcome, FormEnd::BadSecret}));
        SignalFailure(platform());
      } else {
        outcome = RunChangePinForm(platform(), request.port, request.pin, request.newPin, settings);
      }
      break;
    default:
      outcome = RunStatusForm(platform(), request.port, settings);
      break;
  }
  for (std::string* secret : {&request.pin, &request.puk, &request.newPin}) WipeSecret(*secret);
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
