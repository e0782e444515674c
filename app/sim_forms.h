// The SIM beyond the PIN, for scripts and for a box without a screen:
//   --status PORT                    tells the SIM's state and tries, sends
//                                    no password
//   --puk PORT PUK NEWPIN            unblocks a SIM that waits for its PUK
//   --change-pin PORT OLDPIN NEWPIN  replaces the PIN of an unlocked SIM
// Each holds the port's lock for its whole run, waits for a definite state
// as --wait does (a single look without it), and sends a password at most
// once, and only to a SIM in the state for it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/console_mode.h"
#include "app/wait_mode.h"
#include "platform/platform.h"

namespace tessivo {

// What --status found.
struct StatusFacts {
  ConsoleOutcome outcome = ConsoleOutcome::NoAnswer;  // Accepted: a definite state
  SimLook look = SimLook::Silent;                     // the deciding (or last) look
  bool throughService = false;
  ModemIdentity identity;
  TriesLook tries{true, std::nullopt, std::nullopt};
  std::optional<bool> pinRequest;
};

// Looks until a definite state or the deadline, then reads the tries, the
// PIN request and the maker and model. Sends no password.
StatusFacts ReadStatus(Platform& platform, SimLink& sim, std::int64_t deadlineMs,
                       PortLocks* locks = nullptr);

// The lines --status prints, one fact a line: "Port:", "Modem:", "SIM:",
// "PIN-Versuche:", "PUK-Versuche:", "PIN-Abfrage:" (German, Windows-1252).
std::string StatusLines(const std::string& port, const StatusFacts& facts);

// Why a guarded form ended; with the outcome it names the line.
enum class FormEnd {
  BadSecret,     // a secret of the wrong form: nothing sent, port untouched
  WrongState,    // the SIM is not in the state for this form: nothing sent
  LastTryKept,   // one try left (or none): nothing sent
  Sent,          // the outcome is the exchange's
  DeadlinePassed,
};

struct FormResult {
  FormResult() = default;
  FormResult(ConsoleOutcome o, FormEnd e, SimLook l = SimLook::Silent)
      : outcome(o), end(e), look(l) {}

  ConsoleOutcome outcome = ConsoleOutcome::NoAnswer;
  FormEnd end = FormEnd::DeadlinePassed;
  SimLook look = SimLook::Silent;  // the state that decided (WrongState)
  // Sent: the tries left after a refusal; after an accepted PUK whether the
  // SIM said READY within the time given to it.
  std::optional<unsigned> triesLeft;
  bool readyAfterPuk = false;
};

struct FormSettings {
  unsigned seconds = 0;  // --wait SECONDS; 0: a single look
  bool lastTry = false;
};

// --puk: only to a SIM that waits for its PUK, with more than one PUK try
// left unless settings.lastTry. An accepted PUK is followed by looks for
// READY for up to about 10 s; a SIM still not ready then is Accepted all the
// same (the card took the PUK and the new PIN; sending them again could
// only cost), and the line says so.
FormResult UnblockWithPuk(Platform& platform, SimLink& sim, const std::string& puk,
                          const std::string& newPin, const FormSettings& settings,
                          std::int64_t deadlineMs, PortLocks* locks = nullptr);

// --change-pin: only on an unlocked SIM whose PIN request is on, with more
// than one PIN try left unless settings.lastTry.
FormResult ChangeThePin(Platform& platform, SimLink& sim, const std::string& oldPin,
                        const std::string& newPin, const FormSettings& settings,
                        std::int64_t deadlineMs, PortLocks* locks = nullptr);

// The one German line (Windows-1252, with its line end) on standard error.
std::string PukReport(const FormResult& result);
std::string ChangePinReport(const FormResult& result);

// The whole forms: the port's lock, the way chosen per call (ModemManager
// where it manages the port), the output and, for the two with a password,
// the line on standard error and the console form's signal.
ConsoleOutcome RunStatusForm(Platform& platform, const std::string& port,
                             const FormSettings& settings);
ConsoleOutcome RunPukForm(Platform& platform, const std::string& port, const std::string& puk,
                          const std::string& newPin, const FormSettings& settings);
ConsoleOutcome RunChangePinForm(Platform& platform, const std::string& port,
                                const std::string& oldPin, const std::string& newPin,
                                const FormSettings& settings);

}  // namespace tessivo
