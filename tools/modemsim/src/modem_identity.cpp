// What the stick says about itself.
#include "modem.h"

namespace tessivo::modemsim {

// Identification: allowed in every state of the SIM, as the standard lists.

// A client picks its query for the tries left by the maker's name, so a
// stick that answers a maker's query gives that maker's name.
const char* Modem::MakerName() const {
  switch (settings_.dialect) {
    case TriesDialect::kHuawei:
      return "huawei";
    case TriesDialect::kZte:
      return "ZTE CORPORATION";
    case TriesDialect::kQuectel:
      return "Quectel";
    default:
      return stick::kManufacturer;
  }
}

const char* Modem::ModelName() const {
  switch (settings_.dialect) {
    case TriesDialect::kHuawei:
      return "E1550";
    case TriesDialect::kZte:
      return "MF190";
    case TriesDialect::kQuectel:
      return "EC25";
    default:
      return stick::kModel;
  }
}

Modem::Status Modem::Manufacturer(const AtCommand& cmd, Time, Reply& reply) {
  return FixedText(cmd, reply, MakerName());
}

Modem::Status Modem::Model(const AtCommand& cmd, Time, Reply& reply) {
  return FixedText(cmd, reply, ModelName());
}

Modem::Status Modem::Revision(const AtCommand& cmd, Time, Reply& reply) {
  return FixedText(cmd, reply, stick::kRevision);
}

Modem::Status Modem::SerialNumber(const AtCommand& cmd, Time, Reply& reply) {
  return FixedText(cmd, reply, stick::kImei);
}

Modem::Status Modem::Imsi(const AtCommand& cmd, Time now, Reply& reply) {
  // The subscriber's number is on the card, which keeps it to itself until
  // it is unlocked.
  if (cmd.form == AtCommand::Form::kAction) {
    if (auto refused = NeedSim(now)) return *refused;
  }
  return FixedText(cmd, reply, stick::kImsi);
}

Modem::Status Modem::Capabilities(const AtCommand& cmd, Time, Reply& reply) {
  return FixedText(cmd, reply, stick::kCapabilities);
}

}  // namespace tessivo::modemsim
