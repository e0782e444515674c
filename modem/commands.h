// The AT commands Tessivo sends, as the callers format them. ModemPort sends
// every command upper-cased with a carriage return, so "sc" reaches the modem
// as "SC" and letters in a PIN as capitals.
#pragma once

#include <string>

namespace tessivo {

inline const std::string kResetCommand = "atz";
inline const std::string kLockQueryCommand = "at+clck=\"sc\",2";
inline const std::string kPinQueryCommand = "at+cpin?";
inline const std::string kAttentionCommand = "at";
inline const std::string kPinTriesCommand = "at+cpinr=\"sim pin\"";

inline std::string PinCommand(const std::string& pin) {
  return "at+cpin=" + pin;
}
inline std::string EnableLockCommand(const std::string& pin) {
  return "at+clck=\"sc\",1,\"" + pin + "\"";
}
inline std::string DisableLockCommand(const std::string& pin) {
  return "at+clck=\"sc\",0,\"" + pin + "\"";
}

// True when a PIN may go into an AT command line: ASCII letters and digits
// only. A quote, ';', ',' or a control character would end the argument or
// the line and let the rest run as a command of its own.
bool IsSafePin(const std::string& pin);

}  // namespace tessivo
