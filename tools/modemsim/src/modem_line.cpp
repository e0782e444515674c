// The command line itself (V.250): echo, result codes and their form, the
// S-registers, reset to the factory profile.
#include <algorithm>
#include <optional>
#include <string>

#include "command_args.h"
#include "modem.h"

namespace tessivo::modemsim {

namespace {

// E, V and Q: nothing or 0 is off, 1 is on.
std::optional<bool> Switch(const AtCommand& cmd) {
  if (cmd.form != AtCommand::Form::kAction) return std::nullopt;
  if (cmd.value.empty() || cmd.value == "0") return false;
  if (cmd.value == "1") return true;
  return std::nullopt;
}

std::string ThreeDigits(int value) {
  std::string text = std::to_string(value);
  return std::string(3 - std::min<size_t>(3, text.size()), '0') + text;
}

}  // namespace

Modem::Status Modem::Echo(const AtCommand& cmd, Time, Reply&) {
  auto on = Switch(cmd);
  if (!on) return Error();
  SetEcho(*on);
  return Ok();
}

Modem::Status Modem::Verbose(const AtCommand& cmd, Time, Reply&) {
  auto on = Switch(cmd);
  if (!on) return Error();
  modes_.verbose = *on;
  return Ok();
}

Modem::Status Modem::Quiet(const AtCommand& cmd, Time, Reply&) {
  auto on = Switch(cmd);
  if (!on) return Error();
  modes_.quiet = *on;
  return Ok();
}

Modem::Status Modem::Reset(const AtCommand& cmd, Time, Reply&) {
  if (cmd.form != AtCommand::Form::kAction || !(cmd.value.empty() || cmd.value == "0")) {
    return Error();
  }
  // Nothing is ever stored (no AT&W), so the stored profile ATZ loads is
  // the factory one.
  RestoreDefaults();
  return Ok();
}

Modem::Status Modem::Identify(const AtCommand& cmd, Time, Reply& reply) {
  if (cmd.form != AtCommand::Form::kAction || !(cmd.value.empty() || cmd.value == "0")) {
    return Error();
  }
  const std::string nl{modes_.s3, modes_.s4};
  Info(reply, std::string("Manufacturer: ") + MakerName() + nl + "Model: " + ModelName() + nl +
                  "Revision: " + stick::kRevision + nl + "IMEI: " + stick::kImei + nl +
                  stick::kCapabilities);
  return Ok();
}

Modem::Status Modem::SRegister(const AtCommand& cmd, Time, Reply& reply) {
  char* characters[] = {nullptr, &modes_.s3, &modes_.s4, &modes_.s5};
  char* character = nullptr;
  int max = 127;
  if (cmd.value == "0") {
    max = 255;
  } else if (cmd.value.size() == 1 && cmd.value[0] >= '3' && cmd.value[0] <= '5') {
    character = characters[cmd.value[0] - '2'];
  } else {
    return Error();
  }
  if (cmd.form == AtCommand::Form::kRead) {
    Info(reply, ThreeDigits(character ? static_cast<unsigned char>(*character) : autoAnswer_));
    return Ok();
  }
  if (cmd.form != AtCommand::Form::kSet || cmd.args.size() != 1) return Error();
  auto value = Number(cmd.args[0], max);
  if (!value) return Error();
  if (character) {
    *character = static_cast<char>(*value);
  } else {
    autoAnswer_ = *value;
  }
  return Ok();
}

Modem::Status Modem::CircuitOptions(const AtCommand& cmd, Time, Reply&) {
  // &C (carrier detect) and &D (what DTR does) change nothing on a port
  // without modem-control lines, but every init string sends them.
  int max = cmd.name == "&C" ? 1 : 2;
  if (cmd.form != AtCommand::Form::kAction || !Number(cmd.value, max, 0)) return Error();
  return Ok();
}

Modem::Status Modem::HangUp(const AtCommand& cmd, Time, Reply&) {
  // There is never a call to end.
  if (cmd.form != AtCommand::Form::kAction || !(cmd.value.empty() || cmd.value == "0")) {
    return Error();
  }
  return Ok();
}

void Modem::SetEcho(bool on) {
  if (modes_.echo == on) return;
  modes_.echo = on;
  notices_.push_back(on ? "echo switched on" : "echo switched off");
}

void Modem::SetCmee(int mode) {
  if (modes_.cmee == mode) return;
  modes_.cmee = mode;
  notices_.push_back("error reports: mode " + std::to_string(mode));
}

void Modem::RestoreDefaults() {
  SetEcho(settings_.echo);
  SetCmee(settings_.cmee);
  LineModes factory;
  modes_.verbose = factory.verbose;
  modes_.quiet = factory.quiet;
  modes_.s3 = factory.s3;
  modes_.s4 = factory.s4;
  modes_.s5 = factory.s5;
  autoAnswer_ = 0;
  cregMode_ = 0;
  cgregMode_ = 0;
  copsFormat_ = 0;
  messageFormat_ = 0;
  characterSet_ = "IRA";
}

}  // namespace tessivo::modemsim
