// A small SIM behind a fake port: enough of the AT dialogue for the dialog's
// operations (reset, lock query and switch, PIN query and entry), with echo
// and the three error modes. Timing is left to the fake port: replies come at
// once, or `finalDelay` ms later for the final result of password commands.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tessivo::testing {

struct FakeSim {
  enum class State { Ready, Pin, Puk, NoSim } state = State::Pin;
  bool lockOn = true;
  bool echo = true;
  int errorMode = 0;  // 0 ERROR, 1 numeric, 2 verbose
  std::string pin = "1234";
  long finalDelay = 0;
  std::vector<std::string> commands;  // as received, without CR

  // Replies to one command line (upper-cased, CR-terminated).
  std::vector<std::pair<long, std::string>> Answer(const std::string& line);

 private:
  std::string Error(int code, const char* text) const;
};

}  // namespace tessivo::testing
