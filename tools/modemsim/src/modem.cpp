#include "modem.h"

#include <algorithm>
#include <cctype>

namespace tessivo::modemsim {

namespace {

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// A decimal of at most three digits no larger than `max`; empty counts as
// `empty` when that is given.
std::optional<int> Number(const std::string& text, int max, std::optional<int> empty = {}) {
  if (text.empty()) return empty;
  if (text.size() > 3) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value > max) return std::nullopt;
  return value;
}

// E, V and Q: nothing or 0 is off, 1 is on.
std::optional<bool> Switch(const AtCommand& cmd) {
  if (cmd.form != AtCommand::Form::kAction) return std::nullopt;
  if (cmd.value.empty() || cmd.value == "0") return false;
  if (cmd.value == "1") return true;
  return std::nullopt;
}

// The only argument of a set command, or nothing when there are more.
std::optional<std::string> OnlyArg(const AtCommand& cmd) {
  if (cmd.args.size() > 1) return std::nullopt;
  return cmd.args.empty() ? std::string() : cmd.args[0];
}

// Parameter `i` of a set command; empty when it was left out.
std::string Arg(const AtCommand& cmd, size_t i) {
  return i < cmd.args.size() ? cmd.args[i] : std::string();
}

std::string ThreeDigits(int value) {
  std::string text = std::to_string(value);
  return std::string(3 - std::min<size_t>(3, text.size()), '0') + text;
}

}  // namespace

const Modem::Entry Modem::kCommands[] = {
    {"E", &Modem::Echo},
    {"V", &Modem::Verbose},
    {"Q", &Modem::Quiet},
    {"Z", &Modem::Reset},
    {"&F", &Modem::Reset},
    {"I", &Modem::Identify},
    {"S", &Modem::SRegister},
    {"&C", &Modem::CircuitOptions},
    {"&D", &Modem::CircuitOptions},
    {"H", &Modem::HangUp},
    {"+GMI", &Modem::Manufacturer},
    {"+CGMI", &Modem::Manufacturer},
    {"+GMM", &Modem::Model},
    {"+CGMM", &Modem::Model},
    {"+GMR", &Modem::Revision},
    {"+CGMR", &Modem::Revision},
    {"+GSN", &Modem::SerialNumber},
    {"+CGSN", &Modem::SerialNumber},
    {"+CIMI", &Modem::Imsi},
    {"+GCAP", &Modem::Capabilities},
    {"+CSQ", &Modem::SignalQuality},
    {"+CREG", &Modem::Registration},
    {"+CGREG", &Modem::Registration},
    {"+COPS", &Modem::Operator},
    {"+CFUN", &Modem::Functionality},
    {"+CSCS", &Modem::CharacterSet},
    {"+CMGF", &Modem::MessageFormat},
    {"+CSMS", &Modem::MessageService},
    {"+CGDCONT", &Modem::PdpContext},
    {"+CMEE", &Modem::Cmee},
    {"+CPIN", &Modem::Cpin},
    {"+CLCK", &Modem::Clck},
    {"+CPWD", &Modem::Cpwd},
    {"+CPINR", &Modem::Cpinr},
};

Modem::Modem(const ModemSettings& settings)
    : settings_(settings),
      sim_(settings.state, settings.lock, settings.pin, settings.puk),
      output_(settings.trickle, settings.noise, kNoiseLine) {
  modes_.echo = settings.echo;
  modes_.cmee = settings.cmee;
}

void Modem::Receive(std::string_view bytes, Time now) {
  // Silent: the stick takes everything and does nothing, not even echo.
  if (settings_.silent) return;
  for (char c : bytes) {
    // Echo is of every byte as it came, before the line is understood.
    if (modes_.echo) pendingEcho_ += c;
    switch (editor_.Feed(c, modes_.s3, modes_.s5)) {
      case LineEditor::Event::kNone:
        break;
      case LineEditor::Event::kLine:
        RunLine(editor_.line(), editor_.tooLong(), now);
        break;
      case LineEditor::Event::kRepeat:
        RunLine(lastLine_, false, now);
        break;
    }
  }
  if (!pendingEcho_.empty()) {
    output_.Add(now + settings_.replyDelay, std::move(pendingEcho_));
    pendingEcho_.clear();
  }
}

void Modem::DropOutput() {
  output_.Clear();
  pendingEcho_.clear();
}

void Modem::ClientsGone() {
  DropOutput();
  editor_.Clear();
}

std::vector<std::string> Modem::TakeNotices() {
  std::vector<std::string> out;
  out.swap(notices_);
  return out;
}

void Modem::RunLine(const std::string& line, bool tooLong, Time now) {
  // The echo of the line and its answer go out as one piece, so that no
  // unsolicited line comes between them.
  std::string early;
  early.swap(pendingEcho_);
  // A line without "AT" is no command: a bare carriage return that wakes
  // the stick, the tail of a reply that a terminal sent back. Sticks say
  // nothing to it.
  if (line.empty()) {
    output_.Add(now + settings_.replyDelay, std::move(early));
    return;
  }
  if (!tooLong) lastLine_ = line;

  Reply reply;
  Status status = Ok();
  bool wasReady = sim_.state() == SimState::kReady;
  int registered = RegistrationState();
  auto commands = tooLong ? std::nullopt : ParseCommandLine(line);
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
  std::string final = FinalText(status) + Unsolicited(registered);

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
  for (const Entry& entry : kCommands) {
    if (cmd.name == entry.name) return (this->*entry.handler)(cmd, now, reply);
  }
  return Error();
}

void Modem::Info(Reply& reply, const std::string& text) const {
  const std::string end{modes_.s3, modes_.s4};
  reply.info += (modes_.verbose ? end : "") + text + end;
}

std::string Modem::FinalText(const Status& status) const {
  if (modes_.quiet) return "";
  std::string word = "OK";
  char digit = '0';
  if (status.kind == Status::Kind::kError ||
      (status.kind == Status::Kind::kCme && modes_.cmee == 0)) {
    word = "ERROR";
    digit = '4';
  } else if (status.kind == Status::Kind::kCme) {
    word = "+CME ERROR: " + (modes_.cmee == 1 ? std::to_string(static_cast<int>(status.cme))
                                              : std::string(CmeErrorText(status.cme)));
    digit = 0;
  }
  if (modes_.verbose) return std::string{modes_.s3, modes_.s4} + word + modes_.s3 + modes_.s4;
  // Numeric: a digit for the basic codes; the extended one keeps its text.
  return (digit ? std::string(1, digit) : word) + modes_.s3;
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

int Modem::RegistrationState() const {
  return sim_.state() == SimState::kReady && functionality_ == 1 ? 1 : 0;
}

std::optional<Modem::Status> Modem::NeedSim(Time now) const {
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

Modem::Status Modem::FixedText(const AtCommand& cmd, Reply& reply, const std::string& text) {
  if (cmd.form == AtCommand::Form::kTest) return Ok();
  if (cmd.form != AtCommand::Form::kAction || !cmd.value.empty()) return Error();
  Info(reply, text);
  return Ok();
}

Modem::Status Modem::Parameter(const AtCommand& cmd, Reply& reply, const std::string& range,
                               const std::function<std::string()>& current,
                               const std::function<Status()>& set) {
  switch (cmd.form) {
    case AtCommand::Form::kTest:
      Info(reply, range);
      return Ok();
    case AtCommand::Form::kRead:
      Info(reply, current());
      return Ok();
    case AtCommand::Form::kSet:
      return set();
    case AtCommand::Form::kAction:
      break;
  }
  return Error();
}

// V.250 basics.

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
  Info(reply, std::string("Manufacturer: ") + stick::kManufacturer + nl +
                  "Model: " + stick::kModel + nl + "Revision: " + stick::kRevision + nl +
                  "IMEI: " + stick::kImei + nl + stick::kCapabilities);
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

// Status of the stick and its network.

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

Modem::Status Modem::CharacterSet(const AtCommand& cmd, Time, Reply& reply) {
  static const char* const kSets[] = {"IRA", "GSM", "UCS2"};
  return Parameter(
      cmd, reply, "+CSCS: (\"IRA\",\"GSM\",\"UCS2\")",
      [&] { return "+CSCS: \"" + characterSet_ + "\""; },
      [&] {
        auto arg = OnlyArg(cmd);
        if (!arg) return Error();
        for (const char* set : kSets) {
          if (Upper(*arg) == set) {
            characterSet_ = set;
            return Ok();
          }
        }
        return Error();
      });
}

Modem::Status Modem::MessageFormat(const AtCommand& cmd, Time, Reply& reply) {
  return Parameter(
      cmd, reply, "+CMGF: (0-1)", [&] { return "+CMGF: " + std::to_string(messageFormat_); },
      [&] {
        auto arg = OnlyArg(cmd);
        auto value = arg ? Number(*arg, 1, 0) : std::nullopt;
        if (!value) return Error();
        messageFormat_ = *value;
        return Ok();
      });
}

Modem::Status Modem::MessageService(const AtCommand& cmd, Time, Reply& reply) {
  return Parameter(
      cmd, reply, "+CSMS: (0-1)",
      // Service, then mobile-terminated, mobile-originated and broadcast
      // messages: all supported.
      [&] { return "+CSMS: " + std::to_string(messageService_) + ",1,1,1"; },
      [&] {
        auto arg = OnlyArg(cmd);
        auto value = arg ? Number(*arg, 1) : std::nullopt;
        if (!value) return Error();
        messageService_ = *value;
        Info(reply, "+CSMS: 1,1,1");
        return Ok();
      });
}

Modem::Status Modem::PdpContext(const AtCommand& cmd, Time, Reply& reply) {
  static const char* const kTypes[] = {"IP", "PPP", "IPV6", "IPV4V6"};
  switch (cmd.form) {
    case AtCommand::Form::kTest:
      for (const char* type : kTypes) {
        Info(reply, std::string("+CGDCONT: (1-16),\"") + type + "\",,,(0-2),(0-4)");
      }
      return Ok();
    case AtCommand::Form::kRead:
      for (const auto& [cid, context] : contexts_) {
        Info(reply, "+CGDCONT: " + std::to_string(cid) + ",\"" + context.first + "\",\"" +
                        context.second + "\",\"0.0.0.0\",0,0");
      }
      return Ok();
    case AtCommand::Form::kSet: {
      // +CGDCONT=<cid> forgets the context; the address and compression
      // parameters are taken and not kept.
      if (cmd.args.empty() || cmd.args.size() > 6) return Error();
      auto cid = Number(cmd.args[0], 16);
      if (!cid || *cid == 0) return Error();
      if (cmd.args.size() == 1) {
        contexts_.erase(*cid);
        return Ok();
      }
      std::string type = Upper(cmd.args[1]);
      if (std::find(std::begin(kTypes), std::end(kTypes), type) == std::end(kTypes)) {
        return Error();
      }
      contexts_[*cid] = {type, Arg(cmd, 2)};
      return Ok();
    }
    case AtCommand::Form::kAction:
      break;
  }
  return Error();
}

// The SIM.

Modem::Status Modem::Cmee(const AtCommand& cmd, Time, Reply& reply) {
  return Parameter(
      cmd, reply, "+CMEE: (0-2)", [&] { return "+CMEE: " + std::to_string(modes_.cmee); },
      [&] {
        // An empty value is the default, 0.
        std::string value = cmd.args.empty() ? "" : cmd.args[0];
        if (cmd.args.size() > 1 || value.size() > 1) return Error();
        if (value.empty()) value = "0";
        if (value[0] < '0' || value[0] > '2') return Error();
        SetCmee(value[0] - '0');
        return Ok();
      });
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
  if (auto refused = NeedSim(now)) return *refused;
  // A PIN that is never asked for cannot be changed: switch the request on
  // first.
  if (!sim_.lockEnabled()) return Cme(CmeError::kOperationNotAllowed);
  if (cmd.args[1].empty()) return Cme(CmeError::kIncorrectPassword);
  if (!IsValidPin(cmd.args[2])) return Error();
  if (auto failure = sim_.ChangePin(cmd.args[1], cmd.args[2])) return Cme(*failure);
  return Ok();
}

Modem::Status Modem::Cpinr(const AtCommand& cmd, Time, Reply& reply) {
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
    Info(reply, "+CPINR: SIM PIN," + std::to_string(sim_.pinTriesLeft()) + "," +
                    std::to_string(SimCard::kPinTries));
  }
  if (selected("SIM PUK")) {
    Info(reply, "+CPINR: SIM PUK," + std::to_string(sim_.pukTriesLeft()) + "," +
                    std::to_string(SimCard::kPukTries));
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
