// The SIM and its passwords: PIN and PUK, the PIN request, the tries left.
#include <string>

#include "command_args.h"
#include "modem.h"

namespace tessivo::modemsim {

std::optional<Modem::Status> Modem::NeedSim(Time now) const {
  if (SimStarting(now)) return Cme(CmeError::kSimBusy);
  switch (sim_.state()) {
    case SimState::kAbsent:
      return Cme(CmeError::kSimNotInserted);
    case SimState::kBlocked:
      return Cme(CmeError::kSimFailure);
    case SimState::kWaitPin:
      return Cme(CmeError::kSimPinRequired);
    case SimState::kWaitPuk:
      return Cme(CmeError::kSimPukRequired);
    case SimState::kReady:
      break;
  }
  if (Busy(now)) return Cme(CmeError::kSimBusy);
  return std::nullopt;
}

std::optional<Modem::Status> Modem::NeedCard(Time now) const {
  if (SimStarting(now)) return Cme(CmeError::kSimBusy);
  if (sim_.state() == SimState::kAbsent) return Cme(CmeError::kSimNotInserted);
  return std::nullopt;
}

SimState Modem::ReportedState(Time now) const {
  if (sim_.state() == SimState::kReady && now < staleUntil_) return SimState::kWaitPuk;
  return sim_.state();
}

// Written before the card looks at the password, so that a test can hold
// every password a client sent against the state the card was in: never
// one the card was not waiting for, never one at its last try.
void Modem::Record(const char* kind, Time now) {
  const char* state = "ready";
  switch (sim_.state()) {
    case SimState::kAbsent:
      state = "nosim";
      break;
    case SimState::kWaitPin:
      state = "pin";
      break;
    case SimState::kWaitPuk:
      state = "puk";
      break;
    case SimState::kBlocked:
      state = "blocked";
      break;
    case SimState::kReady:
      break;
  }
  if (SimStarting(now) || Busy(now)) state = "busy";
  records_.push_back(std::string(kind) + " state=" + state +
                     " pin-tries=" + std::to_string(sim_.pinTriesLeft()) +
                     " puk-tries=" + std::to_string(sim_.pukTriesLeft()));
}

Modem::Status Modem::Cpin(const AtCommand& cmd, Time now, Reply& reply) {
  switch (cmd.form) {
    case AtCommand::Form::kTest:
      return Ok();
    case AtCommand::Form::kRead:
      if (SimStarting(now)) return Cme(CmeError::kSimBusy);
      switch (ReportedState(now)) {
        case SimState::kAbsent:
          return Cme(CmeError::kSimNotInserted);
        case SimState::kBlocked:
          return Cme(CmeError::kSimFailure);
        case SimState::kWaitPin:
          Info(reply, "+CPIN: SIM PIN");
          return Ok();
        case SimState::kWaitPuk:
          Info(reply, "+CPIN: SIM PUK");
          return Ok();
        case SimState::kReady:
          if (Busy(now)) return Cme(CmeError::kSimBusy);
          Info(reply, "+CPIN: READY");
          return Ok();
      }
      return Error();
    case AtCommand::Form::kSet:
      break;
    case AtCommand::Form::kAction:
      return Error();
  }

  reply.password = true;
  reply.pinEntry = true;
  if (cmd.args.empty() || cmd.args.size() > 2 || cmd.args[0].empty()) return Error();
  // A PUK comes with the new PIN; what the client sent decides the kind.
  Record(cmd.args.size() == 2 ? "puk" : "pin", now);
  // A SIM still starting does not look at the PIN: no try is used.
  if (SimStarting(now)) return Cme(CmeError::kSimBusy);
  switch (sim_.state()) {
    case SimState::kAbsent:
      return Cme(CmeError::kSimNotInserted);
    case SimState::kBlocked:
      return Cme(CmeError::kSimFailure);
    case SimState::kReady:
      return Cme(CmeError::kOperationNotAllowed);
    case SimState::kWaitPin:
      // A new PIN only counts when unblocking with the PUK.
      if (auto failure = sim_.EnterPin(cmd.args[0])) return Cme(*failure);
      return Ok();
    case SimState::kWaitPuk:
      // A PIN alone cannot help a card that wants its PUK; it costs no try.
      if (cmd.args.size() < 2) return Cme(CmeError::kSimPukRequired);
      // Nor can a new PIN the card would not take.
      if (!IsValidPin(cmd.args[1])) return Error();
      if (auto failure = sim_.EnterPuk(cmd.args[0], cmd.args[1])) return Cme(*failure);
      return Ok();
  }
  return Error();
}

Modem::Status Modem::Clck(const AtCommand& cmd, Time now, Reply& reply) {
  if (cmd.form == AtCommand::Form::kTest) {
    Info(reply, "+CLCK: (\"SC\",\"PN\")");
    return Ok();
  }
  if (cmd.form != AtCommand::Form::kSet || cmd.args.size() < 2 || cmd.args.size() > 4) {
    return Error();
  }
  const std::string& mode = cmd.args[1];
  if (mode != "0" && mode != "1" && mode != "2") return Error();
  bool query = mode == "2";
  reply.password = !query;

  // The SIM's PIN request, and the network lock, which this stick does not
  // have (it takes any operator's card).
  std::string facility = Upper(cmd.args[0]);
  if (facility != "SC" && facility != "PN") return Cme(CmeError::kOperationNotSupported);
  if (facility == "SC" && !query && cmd.args.size() >= 3 && !cmd.args[2].empty()) {
    Record("clck", now);
  }
  if (SimStarting(now)) return Cme(CmeError::kSimBusy);
  if (sim_.state() == SimState::kAbsent) return Cme(CmeError::kSimNotInserted);
  if (sim_.state() == SimState::kBlocked) return Cme(CmeError::kSimFailure);
  if (sim_.state() == SimState::kWaitPin && !settings_.clckBeforePin) {
    return Cme(CmeError::kSimPinRequired);
  }
  if (facility == "PN") {
    if (!query) return Cme(CmeError::kOperationNotSupported);
    Info(reply, "+CLCK: 0");
    return Ok();
  }
  if (Busy(now)) return Cme(CmeError::kSimBusy);
  if (query) {
    Info(reply, sim_.lockEnabled() ? "+CLCK: 1" : "+CLCK: 0");
    return Ok();
  }
  if (sim_.state() == SimState::kWaitPuk) return Cme(CmeError::kSimPukRequired);
  // No password is a wrong one, though the card is not asked and no try is
  // used.
  if (cmd.args.size() < 3 || cmd.args[2].empty()) return Cme(CmeError::kIncorrectPassword);
  if (auto failure = sim_.SetLock(mode == "1", cmd.args[2])) return Cme(*failure);
  return Ok();
}

Modem::Status Modem::Cpwd(const AtCommand& cmd, Time now, Reply& reply) {
  if (cmd.form == AtCommand::Form::kTest) {
    Info(reply, "+CPWD: (\"SC\",8)");
    return Ok();
  }
  if (cmd.form != AtCommand::Form::kSet || cmd.args.size() != 3) return Error();
  reply.password = true;
  if (Upper(cmd.args[0]) != "SC") return Cme(CmeError::kOperationNotSupported);
  if (!cmd.args[1].empty()) Record("cpwd", now);
  if (auto refused = NeedSim(now)) return *refused;
  // A PIN that is never asked for cannot be changed: switch the request on
  // first.
  if (!sim_.lockEnabled()) return Cme(CmeError::kOperationNotAllowed);
  if (cmd.args[1].empty()) return Cme(CmeError::kIncorrectPassword);
  if (!IsValidPin(cmd.args[2])) return Error();
  if (auto failure = sim_.ChangePin(cmd.args[1], cmd.args[2])) return Cme(*failure);
  return Ok();
}

Modem::Status Modem::Cpinr(const AtCommand& cmd, Time now, Reply& reply) {
  const TriesDialect dialect = settings_.dialect;
  if (dialect != TriesDialect::kDefault && dialect != TriesDialect::k3gpp) return Error();
  std::string filter = "*";
  if (cmd.form == AtCommand::Form::kSet) {
    if (cmd.args.size() != 1) return Error();
    filter = Upper(cmd.args[0]);
  } else if (cmd.form == AtCommand::Form::kTest) {
    return Ok();
  } else if (cmd.form != AtCommand::Form::kAction) {
    return Error();
  }
  if (SimStarting(now)) return Cme(CmeError::kSimBusy);
  if (sim_.state() == SimState::kAbsent) return Cme(CmeError::kSimNotInserted);

  // The selection may end in a wildcard: "SIM*" asks for both codes.
  auto selected = [&filter](const std::string& code) {
    if (!filter.empty() && filter.back() == '*') {
      return code.compare(0, filter.size() - 1, filter, 0, filter.size() - 1) == 0;
    }
    return code == filter;
  };
  if (selected("SIM PIN")) {
    Info(reply, "+CPINR: SIM PIN," + std::to_string(sim_.pinTriesLeft()) + "," +
                    std::to_string(SimCard::kPinTries));
  }
  if (selected("SIM PUK")) {
    Info(reply, "+CPINR: SIM PUK," + std::to_string(sim_.pukTriesLeft()) + "," +
                    std::to_string(SimCard::kPukTries));
  }
  // The second PIN, never used and never asked for here, only in the full
  // list of the standard's form.
  if (dialect == TriesDialect::k3gpp) {
    if (filter == "*" || filter == "SIM PIN2") Info(reply, "+CPINR: SIM PIN2,3,3");
    if (filter == "*" || filter == "SIM PUK2") Info(reply, "+CPINR: SIM PUK2,10,10");
  }
  return Ok();
}

// Generic SIM access, as far as managers use it to read the tries left:
// VERIFY (00 20) and UNBLOCK (00 2C) without data ask the card how many
// tries the PIN (P2 01) or the PUK are worth, answered with status word 63Cx
// (x tries). The card has no second PIN (P2 81): 6A88, "not found". Any other
// command is one the card does not know: 6D00.
Modem::Status Modem::Csim(const AtCommand& cmd, Time, Reply& reply) {
  if (settings_.dialect != TriesDialect::kDefault && settings_.dialect != TriesDialect::kCsim) {
    return Error();
  }
  if (cmd.form == AtCommand::Form::kTest) return Ok();
  if (cmd.form != AtCommand::Form::kSet || cmd.args.size() != 2) return Error();
  const std::string apdu = Upper(cmd.args[1]);
  if (cmd.args[0] != std::to_string(apdu.size()) || apdu.empty() || apdu.size() % 2 != 0 ||
      apdu.find_first_not_of("0123456789ABCDEF") != std::string::npos) {
    return Error();
  }
  if (sim_.state() == SimState::kAbsent) return Cme(CmeError::kSimNotInserted);
  if (sim_.state() == SimState::kBlocked) return Cme(CmeError::kSimFailure);
  auto tries = [](int n) {
    const char* hex = "0123456789ABCDEF";
    return std::string("63C") + hex[n & 0xF];
  };
  std::string status = "6D00";
  if (apdu == "0020000100") {
    status = tries(sim_.pinTriesLeft());
  } else if (apdu == "002C000100") {
    status = tries(sim_.pukTriesLeft());
  } else if (apdu == "0020008100" || apdu == "002C008100") {
    status = "6A88";
  }
  Info(reply, "+CSIM: 4,\"" + status + "\"");
  return Ok();
}

namespace {

std::string Count(int n) {
  return std::to_string(n);
}

}  // namespace

// Huawei: ^CPIN: <code>,[<times>],<puk times>,<pin times>,<puk2>,<pin2>,
// the PUK's count before the PIN's; <times> belongs to the code the card
// waits for, and is empty when it waits for none.
Modem::Status Modem::HuaweiCpin(const AtCommand& cmd, Time now, Reply& reply) {
  if (settings_.dialect != TriesDialect::kHuawei) return Error();
  if (cmd.form == AtCommand::Form::kTest) return Ok();
  if (cmd.form != AtCommand::Form::kRead) return Error();
  if (auto refused = NeedCard(now)) return *refused;
  std::string code;
  std::string times;
  switch (ReportedState(now)) {
    case SimState::kWaitPin:
      code = "SIM PIN";
      times = Count(sim_.pinTriesLeft());
      break;
    case SimState::kWaitPuk:
      code = "SIM PUK";
      times = Count(sim_.pukTriesLeft());
      break;
    case SimState::kReady:
      code = "READY";
      break;
    case SimState::kAbsent:
    case SimState::kBlocked:
      return Cme(CmeError::kSimFailure);
  }
  Info(reply, "^CPIN: " + code + "," + times + "," + Count(sim_.pukTriesLeft()) + "," +
                  Count(sim_.pinTriesLeft()) + ",10,3");
  return Ok();
}

// ZTE answers the tries left to the test form: +ZPINPUK: <pin>,<puk>.
Modem::Status Modem::ZtePinPuk(const AtCommand& cmd, Time now, Reply& reply) {
  if (settings_.dialect != TriesDialect::kZte) return Error();
  if (cmd.form != AtCommand::Form::kTest) return Error();
  if (auto refused = NeedCard(now)) return *refused;
  Info(reply, "+ZPINPUK: " + Count(sim_.pinTriesLeft()) + "," + Count(sim_.pukTriesLeft()));
  return Ok();
}

// Quectel: +QPINC: "SC",<pin>,<puk> and the same for the second PIN, "P2";
// the set form asks for one of them.
Modem::Status Modem::QuectelPinCounts(const AtCommand& cmd, Time now, Reply& reply) {
  if (settings_.dialect != TriesDialect::kQuectel) return Error();
  if (cmd.form == AtCommand::Form::kTest) {
    Info(reply, "+QPINC: (\"SC\",\"P2\")");
    return Ok();
  }
  std::string which;
  if (cmd.form == AtCommand::Form::kSet) {
    if (cmd.args.size() != 1) return Error();
    which = Upper(cmd.args[0]);
    if (which != "SC" && which != "P2") return Error();
  } else if (cmd.form != AtCommand::Form::kRead) {
    return Error();
  }
  if (auto refused = NeedCard(now)) return *refused;
  if (which.empty() || which == "SC") {
    Info(reply, "+QPINC: \"SC\"," + Count(sim_.pinTriesLeft()) + "," + Count(sim_.pukTriesLeft()));
  }
  if (which.empty() || which == "P2") Info(reply, "+QPINC: \"P2\",3,10");
  return Ok();
}

}  // namespace tessivo::modemsim
