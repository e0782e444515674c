// Console mode: submit the PIN on the given port without showing anything;
// the speaker tells the outcome.
#pragma once

#include <string>

#include "platform/platform.h"

namespace tessivo {

// Opens the port, sends "AT+CPIN=<pin>", collects the reply (also what comes
// late), closes the port and gives exactly one signal: success when the modem
// answered OK, failure otherwise. Returns whether the PIN was accepted.
bool RunConsoleMode(Platform& platform, const std::string& port, const std::string& pin);

}  // namespace tessivo
