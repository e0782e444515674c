#include "modem.h"

#include <algorithm>
#include <cctype>

namespace tessivo::modemsim {

namespace {

// Longer lines are garbage, not commands; keeping them would let a runaway
// client grow the buffer without end.
constexpr size_t kMaxLine = 1024;

std::string Framed(const std::string& text) {
  return "\r\n" + text + "\r\n";
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

bool IsBlank(const std::string& line) {
  return std::all_of(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\t'; });
}

}  // namespace

Modem::Modem(const ModemSettings& settings)
    : settings_(settings),
      sim_(settings.state, settings.lock, settings.pin, settings.puk),
      output_(settings.trickle, settings.noise, kNoiseLine),
      echo_(settings.echo),
      cmee_(settings.cmee) {}

void Modem::Receive(std::string_view bytes, Time now) {
  for (char c : bytes) {
    if (c == '\n') continue;
    if (c != '\r') {
      if (line_.size() < kMaxLine) {
        line_ += c;
      } else {
        lineTooLong_ = true;
      }
      continue;
    }
    if (!settings_.silent) RunLine(line_, now);
    line_.clear();
    lineTooLong_ = false;
  }
}

void Modem::DropOutput() {
  output_.Clear();
}

std::vector<std::string> Modem::TakeNotices() {
  std::vector<std::string> out;
  out.swap(notices_);
  return out;
}

void Modem::RunLine(const std::string& line, Time now) {
  // A bare carriage return is what clients send to wake a modem or to end a
  // half-typed line; sticks stay quiet about it.
  if (IsBlank(line)) return;

  std::string early = echo_ ? line + "\r" : "";
  Reply reply;
  Status status = Ok();
  bool wasReady = sim_.state() == SimState::kReady;
  auto commands = lineTooLong_ ? std::nullopt : ParseCommandLine(line);
  if (!commands) {
    status = Error();
  } else {
    for (const AtCommand& cmd : *commands) {
      status = Execute(cmd, now, reply);
      for (std::string& notice : sim_.TakeNotices()) notices_.push_back(std::move(notice));
      if (!status.ok()) break;
    }
  }
  early += reply.info;
  std::string final = Framed(FinalText(status));

  Time first = now + settings_.replyDelay;
  Time finalAt = first;
  if (reply.password && settings_.lateFinal.count() > 0) {
    finalAt = now + std::max(settings_.lateFinal, settings_.replyDelay);
    output_.Add(first, std::move(early));
    output_.Add(finalAt, std::move(final));
  } else {
    output_.Add(first, early + final);
  }
  // The card needs a moment after the PIN before it answers again; the
  // clock starts when the client hears its OK.
  if (!wasReady && sim_.state() == SimState::kReady && settings_.simBusy.count() > 0) {
    busyUntil_ = finalAt + settings_.simBusy;
  }
}

Modem::Status Modem::Execute(const AtCommand& cmd, Time now, Reply& reply) {
  using Form = AtCommand::Form;
  if (cmd.name == "E" && cmd.form == Form::kAction && cmd.value.size() <= 1) {
    if (cmd.value == "1") {
      SetEcho(true);
    } else if (cmd.value.empty() || cmd.value == "0") {
      SetEcho(false);
    } else {
      return Error();
    }
    return Ok();
  }
  if (cmd.name == "Z" && cmd.form == Form::kAction && (cmd.value.empty() || cmd.value == "0")) {
    SetEcho(settings_.echo);
    SetCmee(settings_.cmee);
    return Ok();
  }
  if (cmd.name == "+CMEE") return Cmee(cmd, reply);
  if (cmd.name == "+CPIN") return Cpin(cmd, now, reply);
  if (cmd.name == "+CLCK") return Clck(cmd, now, reply);
  if (cmd.name == "+CPINR") return Cpinr(cmd, reply);
  return Error();
}

Modem::Status Modem::Cmee(const AtCommand& cmd, Reply& reply) {
  switch (cmd.form) {
    case AtCommand::Form::kRead:
      reply.info += Framed("+CMEE: " + std::to_string(cmee_));
      return Ok();
    case AtCommand::Form::kTest:
      reply.info += Framed("+CMEE: (0-2)");
      return Ok();
    case AtCommand::Form::kSet: {
      // An empty value is the default, 0.
      std::string value = cmd.args.empty() ? "" : cmd.args[0];
      if (cmd.args.size() > 1 || value.size() > 1) return Error();
      if (value.empty()) value = "0";
      if (value[0] < '0' || value[0] > '2') return Error();
      SetCmee(value[0] - '0');
      return Ok();
    }
    case AtCommand::Form::kAction:
      break;
  }
  return Error();
}

Modem::Status Modem::Cpin(const AtCommand& cmd, Time now, Reply& reply) {
  switch (cmd.form) {
    case AtCommand::Form::kTest:
      return Ok();
    case AtCommand::Form::kRead:
      switch (sim_.state()) {
        case SimState::kAbsent:
          return Cme(CmeError::kSimNotInserted);
        case SimState::kBlocked:
          return Cme(CmeError::kSimFailure);
        case SimState::kWaitPin:
          reply.info += Framed("+CPIN: SIM PIN");
          return Ok();
        case SimState::kWaitPuk:
          reply.info += Framed("+CPIN: SIM PUK");
          return Ok();
        case SimState::kReady:
          if (Busy(now)) return Cme(CmeError::kSimBusy);
          reply.info += Framed("+CPIN: READY");
          return Ok();
      }
      return Error();
    case AtCommand::Form::kSet:
      break;
    case AtCommand::Form::kAction:
      return Error();
  }

  reply.password = true;
  if (cmd.args.empty() || cmd.args.size() > 2 || cmd.args[0].empty()) return Error();
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
    reply.info += Framed("+CLCK: (\"SC\")");
    return Ok();
  }
  if (cmd.form != AtCommand::Form::kSet || cmd.args.size() < 2) return Error();
  const std::string& mode = cmd.args[1];
  if (mode != "0" && mode != "1" && mode != "2") return Error();
  bool query = mode == "2";
  reply.password = !query;

  // Only the SIM PIN lock exists on this stick.
  if (Upper(cmd.args[0]) != "SC") return Cme(CmeError::kOperationNotSupported);
  if (sim_.state() == SimState::kAbsent) return Cme(CmeError::kSimNotInserted);
  if (sim_.state() == SimState::kBlocked) return Cme(CmeError::kSimFailure);
  if (Busy(now)) return Cme(CmeError::kSimBusy);
  if (query) {
    reply.info += Framed(sim_.lockEnabled() ? "+CLCK: 1" : "+CLCK: 0");
    return Ok();
  }
  if (sim_.state() == SimState::kWaitPuk) return Cme(CmeError::kSimPukRequired);
  if (cmd.args.size() < 3 || cmd.args[2].empty()) return Error();
  if (auto failure = sim_.SetLock(mode == "1", cmd.args[2])) return Cme(*failure);
  return Ok();
}

Modem::Status Modem::Cpinr(const AtCommand& cmd, Reply& reply) {
  std::string filter = "*";
  if (cmd.form == AtCommand::Form::kSet) {
    if (cmd.args.size() != 1) return Error();
    filter = Upper(cmd.args[0]);
  } else if (cmd.form == AtCommand::Form::kTest) {
    return Ok();
  } else if (cmd.form != AtCommand::Form::kAction) {
    return Error();
  }
  if (sim_.state() == SimState::kAbsent) return Cme(CmeError::kSimNotInserted);

  // The selection may end in a wildcard: "SIM*" asks for both codes.
  auto selected = [&filter](const std::string& code) {
    if (!filter.empty() && filter.back() == '*') {
      return code.compare(0, filter.size() - 1, filter, 0, filter.size() - 1) == 0;
    }
    return code == filter;
  };
  if (selected("SIM PIN")) {
    reply.info += Framed("+CPINR: SIM PIN," + std::to_string(sim_.pinTriesLeft()) + "," +
                         std::to_string(SimCard::kPinTries));
  }
  if (selected("SIM PUK")) {
    reply.info += Framed("+CPINR: SIM PUK," + std::to_string(sim_.pukTriesLeft()) + "," +
                         std::to_string(SimCard::kPukTries));
  }
  return Ok();
}

std::string Modem::FinalText(const Status& status) const {
  switch (status.kind) {
    case Status::Kind::kOk:
      return "OK";
    case Status::Kind::kError:
      return "ERROR";
    case Status::Kind::kCme:
      break;
  }
  if (cmee_ == 1) return "+CME ERROR: " + std::to_string(static_cast<int>(status.cme));
  if (cmee_ == 2) return std::string("+CME ERROR: ") + CmeErrorText(status.cme);
  return "ERROR";
}

void Modem::SetEcho(bool on) {
  if (echo_ == on) return;
  echo_ = on;
  notices_.push_back(on ? "echo switched on" : "echo switched off");
}

void Modem::SetCmee(int mode) {
  if (cmee_ == mode) return;
  cmee_ = mode;
  notices_.push_back("error reports: mode " + std::to_string(mode));
}

}  // namespace tessivo::modemsim
