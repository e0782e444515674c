// Status of the stick and its network: signal, registration, operator,
// radio.
#include <string>

#include "command_args.h"
#include "modem.h"

namespace tessivo::modemsim {

int Modem::RegistrationState() const {
  return sim_.state() == SimState::kReady && functionality_ == 1 ? 1 : 0;
}

std::string Modem::Unsolicited(int before) const {
  int now = RegistrationState();
  Reply lines;
  auto report = [&](const char* name, int mode) {
    if (mode == 0 || now == before) return;
    std::string text = std::string(name) + ": " + std::to_string(now);
    if (mode == 2 && now == 1)
      text += std::string(",\"") + stick::kLac + "\",\"" + stick::kCellId + "\"";
    Info(lines, text);
  };
  report("+CREG", cregMode_);
  report("+CGREG", cgregMode_);
  return lines.info;
}

Modem::Status Modem::SignalQuality(const AtCommand& cmd, Time, Reply& reply) {
  if (cmd.form == AtCommand::Form::kTest) {
    Info(reply, "+CSQ: (0-31,99),(0-7,99)");
    return Ok();
  }
  // The radio hears the network with or without an unlocked SIM.
  std::string rssi = functionality_ == 1 ? std::to_string(stick::kRssi) : "99";
  return FixedText(cmd, reply, "+CSQ: " + rssi + ",99");
}

Modem::Status Modem::Registration(const AtCommand& cmd, Time, Reply& reply) {
  int& mode = cmd.name == "+CREG" ? cregMode_ : cgregMode_;
  return Parameter(
      cmd, reply, cmd.name + ": (0-2)",
      [&] {
        int state = RegistrationState();
        std::string text = cmd.name + ": " + std::to_string(mode) + "," + std::to_string(state);
        if (mode == 2 && state == 1) {
          text += std::string(",\"") + stick::kLac + "\",\"" + stick::kCellId + "\"";
        }
        return text;
      },
      [&] {
        auto arg = OnlyArg(cmd);
        auto value = arg ? Number(*arg, 2, 0) : std::nullopt;
        if (!value) return Error();
        mode = *value;
        return Ok();
      });
}

Modem::Status Modem::Operator(const AtCommand& cmd, Time, Reply& reply) {
  const char* const names[] = {stick::kOperatorLong, stick::kOperatorShort,
                               stick::kOperatorNumeric};
  return Parameter(
      cmd, reply,
      std::string("+COPS: (2,\"") + names[0] + "\",\"" + names[1] + "\",\"" + names[2] +
          "\",2),,(0-4),(0-2)",
      [&] {
        return RegistrationState() == 1
                   ? "+COPS: 0," + std::to_string(copsFormat_) + ",\"" + names[copsFormat_] + "\",2"
                   : std::string("+COPS: 0");
      },
      [&] {
        // Automatic selection (0) and the format of the name (3); choosing a
        // network by hand is not offered.
        if (cmd.args.empty() || cmd.args.size() > 2) return Error();
        auto mode = Number(cmd.args[0], 4);
        auto format = Number(Arg(cmd, 1), 2, -1);
        if (!mode || !format || (*mode == 3 && *format < 0)) return Error();
        if (*mode != 0 && *mode != 3) return Cme(CmeError::kOperationNotSupported);
        if (*format >= 0) copsFormat_ = *format;
        return Ok();
      });
}

Modem::Status Modem::Functionality(const AtCommand& cmd, Time, Reply& reply) {
  return Parameter(
      cmd, reply, "+CFUN: (0-1,4),(0-1)", [&] { return "+CFUN: " + std::to_string(functionality_); },
      [&] {
        // 0 minimum, 1 full, 4 radio off; a reset (second parameter 1) is
        // taken but leaves the SIM as it is.
        if (cmd.args.empty() || cmd.args.size() > 2) return Error();
        auto fun = Number(cmd.args[0], 4);
        auto reset = Number(Arg(cmd, 1), 1, 0);
        if (!fun || !reset || (*fun != 0 && *fun != 1 && *fun != 4)) return Error();
        functionality_ = *fun;
        return Ok();
      });
}

}  // namespace tessivo::modemsim
