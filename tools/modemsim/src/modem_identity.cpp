// What the stick says about itself.
#include "modem.h"

namespace tessivo::modemsim {

// Identification: allowed in every state of the SIM, as the standard lists.

Modem::Status Modem::Manufacturer(const AtCommand& cmd, Time, Reply& reply) {
  return FixedText(cmd, reply, stick::kManufacturer);
}

Modem::Status Modem::Model(const AtCommand& cmd, Time, Reply& reply) {
  return FixedText(cmd, reply, stick::kModel);
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
