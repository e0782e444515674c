#include "sim_card.h"

#include <algorithm>
#include <cctype>

namespace tessivo::modemsim {

const char* CmeErrorText(CmeError error) {
  switch (error) {
    case CmeError::kOperationNotAllowed:
      return "operation not allowed";
    case CmeError::kOperationNotSupported:
      return "operation not supported";
    case CmeError::kSimNotInserted:
      return "SIM not inserted";
    case CmeError::kSimPinRequired:
      return "SIM PIN required";
    case CmeError::kSimPukRequired:
      return "SIM PUK required";
    case CmeError::kSimFailure:
      return "SIM failure";
    case CmeError::kSimBusy:
      return "SIM busy";
    case CmeError::kIncorrectPassword:
      return "incorrect password";
  }
  return "unknown";
}

bool IsValidPin(const std::string& text) {
  return text.size() >= 4 && text.size() <= 8 &&
         std::all_of(text.begin(), text.end(),
                     [](unsigned char c) { return std::isdigit(c) != 0; });
}

namespace {

std::string TriesLeft(int n) {
  return std::to_string(n) + (n == 1 ? " attempt left" : " attempts left");
}

}  // namespace

SimCard::SimCard(SimState state, bool lockEnabled, std::string pin, std::string puk, int pinTries,
                 int pukTries)
    : state_(state),
      lockEnabled_(lockEnabled),
      pin_(std::move(pin)),
      puk_(std::move(puk)),
      pinTriesLeft_(pinTries),
      pukTriesLeft_(pukTries) {
  if (state_ == SimState::kWaitPin && !lockEnabled_) state_ = SimState::kReady;
  if (state_ == SimState::kWaitPuk) pinTriesLeft_ = 0;
}

SimResult SimCard::EnterPin(const std::string& pin) {
  if (pin != pin_) {
    WrongPin();
    return CmeError::kIncorrectPassword;
  }
  pinTriesLeft_ = kPinTries;
  state_ = SimState::kReady;
  Note("PIN accepted: SIM unlocked");
  return std::nullopt;
}

SimResult SimCard::EnterPuk(const std::string& puk, const std::string& newPin) {
  if (puk != puk_) {
    --pukTriesLeft_;
    Note("wrong PUK: " + TriesLeft(pukTriesLeft_));
    if (pukTriesLeft_ == 0) {
      state_ = SimState::kBlocked;
      Note("SIM blocked for good: no PUK attempts left");
    }
    return CmeError::kIncorrectPassword;
  }
  pin_ = newPin;
  pinTriesLeft_ = kPinTries;
  pukTriesLeft_ = kPukTries;
  state_ = SimState::kReady;
  // Unblocking with the PUK leaves the PIN request on: the card asks for the
  // new PIN after the next power-up, as a real one does.
  lockEnabled_ = true;
  Note("PUK accepted: PIN changed to " + newPin + ", SIM unlocked");
  return std::nullopt;
}

SimResult SimCard::SetLock(bool on, const std::string& pin) {
  if (pin != pin_) {
    WrongPin();
    return CmeError::kIncorrectPassword;
  }
  pinTriesLeft_ = kPinTries;
  if (!on && state_ == SimState::kWaitPin) {
    // Without a PIN request there is nothing left to wait for.
    state_ = SimState::kReady;
    Note("PIN accepted: SIM unlocked");
  }
  if (lockEnabled_ != on) {
    lockEnabled_ = on;
    Note(on ? "PIN request switched on" : "PIN request switched off");
  }
  return std::nullopt;
}

SimResult SimCard::ChangePin(const std::string& pin, const std::string& newPin) {
  if (pin != pin_) {
    WrongPin();
    return CmeError::kIncorrectPassword;
  }
  pin_ = newPin;
  pinTriesLeft_ = kPinTries;
  Note("PIN changed to " + newPin);
  return std::nullopt;
}

void SimCard::WrongPin() {
  --pinTriesLeft_;
  Note("wrong PIN: " + TriesLeft(pinTriesLeft_));
  if (pinTriesLeft_ == 0) {
    state_ = SimState::kWaitPuk;
    Note("SIM blocked: PUK required");
  }
}

std::string SimCard::Describe() const {
  switch (state_) {
    case SimState::kAbsent:
      return "no SIM inserted";
    case SimState::kWaitPin:
      return "SIM waiting for PIN";
    case SimState::kWaitPuk:
      return "SIM blocked: waiting for PUK";
    case SimState::kReady:
      return lockEnabled_ ? "SIM ready" : "SIM ready, PIN request off";
    case SimState::kBlocked:
      return "SIM blocked for good";
  }
  return "";
}

std::vector<std::string> SimCard::TakeNotices() {
  std::vector<std::string> out;
  out.swap(notices_);
  return out;
}

}  // namespace tessivo::modemsim
