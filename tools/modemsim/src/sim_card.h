// The SIM card behind the virtual modem: its PIN and PUK, how many tries
// each has left, and whether the PIN request (the "SC" lock) is on. Every
// change a person watching the sim would care about is noted as a line of
// text for the console.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tessivo::modemsim {

enum class SimState {
  kAbsent,   // no card in the stick
  kWaitPin,  // needs its PIN before anything else
  kWaitPuk,  // three wrong PINs: only the PUK helps now
  kReady,    // unlocked, or the PIN request is off
  kBlocked,  // ten wrong PUKs: the card is dead
};

// The numbers the modem reports with +CME ERROR (3GPP TS 27.007, 9.2.1).
enum class CmeError {
  kOperationNotAllowed = 3,
  kOperationNotSupported = 4,
  kSimNotInserted = 10,
  kSimPinRequired = 11,
  kSimPukRequired = 12,
  kSimFailure = 13,
  kSimBusy = 14,
  kIncorrectPassword = 16,
};

const char* CmeErrorText(CmeError error);

// The outcome of one password operation: nothing means it worked.
using SimResult = std::optional<CmeError>;

class SimCard {
 public:
  static constexpr int kPinTries = 3;
  static constexpr int kPukTries = 10;

  // A card that starts in `state` with `pinTries` PIN tries left (1 to
  // kPinTries) and `pukTries` PUK tries left (1 to kPukTries). With the lock off a card that would
  // want its PIN is ready at once; a card that wants its PUK or is missing stays so.
  SimCard(SimState state, bool lockEnabled, std::string pin, std::string puk,
          int pinTries = kPinTries, int pukTries = kPukTries);

  SimState state() const { return state_; }
  bool lockEnabled() const { return lockEnabled_; }
  int pinTriesLeft() const { return pinTriesLeft_; }
  int pukTriesLeft() const { return pukTriesLeft_; }
  const std::string& pin() const { return pin_; }

  // AT+CPIN=<pin> while the card waits for its PIN.
  SimResult EnterPin(const std::string& pin);
  // AT+CPIN=<puk>,<newpin> while the card waits for its PUK.
  SimResult EnterPuk(const std::string& puk, const std::string& newPin);
  // AT+CLCK="SC",0|1,<pin>.
  SimResult SetLock(bool on, const std::string& pin);
  // AT+CPWD="SC",<pin>,<newpin>, with a new PIN the card takes.
  SimResult ChangePin(const std::string& pin, const std::string& newPin);

  // "SIM waiting for PIN" and the like, for the console.
  std::string Describe() const;

  // Console lines for the changes since the last call.
  std::vector<std::string> TakeNotices();

 private:
  // Counts a wrong PIN and moves to the PUK when the last try is gone.
  void WrongPin();
  void Note(std::string line) { notices_.push_back(std::move(line)); }

  SimState state_;
  bool lockEnabled_;
  std::string pin_;
  std::string puk_;
  int pinTriesLeft_ = kPinTries;
  int pukTriesLeft_ = kPukTries;
  std::vector<std::string> notices_;
};

// True for 4 to 8 decimal digits, what a SIM accepts as a PIN.
bool IsValidPin(const std::string& text);

}  // namespace tessivo::modemsim
