#include "tests/support/fake_sim.h"

namespace tessivo::testing {

std::string FakeSim::Error(int code, const char* text) const {
  if (errorMode == 1) return "\r\n+CME ERROR: " + std::to_string(code) + "\r\n";
  if (errorMode == 2) return std::string("\r\n+CME ERROR: ") + text + "\r\n";
  return "\r\nERROR\r\n";
}

std::vector<std::pair<long, std::string>> FakeSim::Answer(const std::string& line) {
  const std::string command = line.substr(0, line.find('\r'));
  commands.push_back(command);
  std::vector<std::pair<long, std::string>> out;
  if (echo) out.emplace_back(0, line);
  const std::string ok = "\r\nOK\r\n";
  auto password = [&](const std::string& given) { return given == pin; };

  if (command == "ATZ") {
    out.emplace_back(0, ok);
  } else if (command == "AT+CLCK=\"SC\",2") {
    if (state == State::NoSim) {
      out.emplace_back(0, Error(10, "SIM not inserted"));
    } else {
      out.emplace_back(0, std::string("\r\n+CLCK: ") + (lockOn ? "1" : "0") + "\r\n" + ok);
    }
  } else if (command == "AT+CPIN?") {
    if (state == State::NoSim) {
      out.emplace_back(0, Error(10, "SIM not inserted"));
    } else {
      const char* what = state == State::Ready ? "READY"
                         : state == State::Pin ? "SIM PIN"
                                               : "SIM PUK";
      out.emplace_back(0, std::string("\r\n+CPIN: ") + what + "\r\n" + ok);
    }
  } else if (command.rfind("AT+CPIN=", 0) == 0) {
    if (state == State::Pin && password(command.substr(8))) {
      state = State::Ready;
      out.emplace_back(finalDelay, ok);
    } else {
      out.emplace_back(finalDelay, Error(16, "incorrect password"));
    }
  } else if (command.rfind("AT+CLCK=\"SC\",", 0) == 0 && command.size() == 21) {
    const bool on = command[13] == '1';
    if (password(command.substr(16, 4))) {
      lockOn = on;
      if (!on && state == State::Pin) state = State::Ready;
      out.emplace_back(finalDelay, ok);
    } else {
      out.emplace_back(finalDelay, Error(16, "incorrect password"));
    }
  } else {
    out.emplace_back(0, "\r\nERROR\r\n");
  }
  return out;
}

}  // namespace tessivo::testing
