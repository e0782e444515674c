// The stick's command line: bytes in, lines run command by command through
// the table below, echo, information and result codes out when they are due.
#include "modem.h"

#include <algorithm>

namespace tessivo::modemsim {

// Every command the stick knows. A name that is not here is an ERROR.
const Modem::Entry Modem::kCommands[] = {
    // The command line itself (modem_line.cpp).
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
    // Identification (modem_identity.cpp).
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
    // The stick and its network (modem_network.cpp).
    {"+CSQ", &Modem::SignalQuality},
    {"+CREG", &Modem::Registration},
    {"+CGREG", &Modem::Registration},
    {"+COPS", &Modem::Operator},
    {"+CFUN", &Modem::Functionality},
    // Settings for a connection (modem_settings.cpp).
    {"+CMEE", &Modem::Cmee},
    {"+CSCS", &Modem::CharacterSet},
    {"+CMGF", &Modem::MessageFormat},
    {"+CSMS", &Modem::MessageService},
    {"+CGDCONT", &Modem::PdpContext},
    // The SIM and its passwords (modem_sim.cpp).
    {"+CPIN", &Modem::Cpin},
    {"+CLCK", &Modem::Clck},
    {"+CPWD", &Modem::Cpwd},
    {"+CPINR", &Modem::Cpinr},
    {"+CSIM", &Modem::Csim},
    // Other makers' queries for the tries left, each answered only by its
    // maker's stick (--tries-dialect).
    {"^CPIN", &Modem::HuaweiCpin},
    {"+ZPINPUK", &Modem::ZtePinPuk},
    {"+QPINC", &Modem::QuectelPinCounts},
};

Modem::Modem(const ModemSettings& settings)
    : settings_(settings),
      sim_(settings.state, settings.lock, settings.pin, settings.puk, settings.pinTries,
           settings.pukTries),
      output_(settings.trickle, settings.noise, kNoiseLine),
      chaosState_(settings.chaos.value_or(0)) {
  modes_.echo = settings.echo;
  modes_.cmee = settings.cmee;
  for (const TimedLine& t : settings.unsolicitedAt) {
    output_.AddUnsolicited(t.at, "\r\n" + t.line + "\r\n");
  }
}

void Modem::Receive(std::string_view bytes, Time now) {
  // Silent: the stick takes everything and does nothing, not even echo.
  if (settings_.silent || now < settings_.muteAtStart) return;
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

std::vector<std::string> Modem::TakeRecords() {
  std::vector<std::string> out;
  out.swap(records_);
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
  SimState before = sim_.state();
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

  // The words are settled; now when and how they go out.
  Shape shape = ShapeFor(line);
  Time echoAt = now + settings_.replyDelay + shape.beforeEcho;
  Time answerAt = echoAt + shape.afterEcho;
  Time finalAt = answerAt;
  if (reply.password && settings_.lateFinal.count() > 0) {
    finalAt = std::max(answerAt, now + std::max(settings_.lateFinal, settings_.replyDelay));
  }
  std::vector<Piece> answer = {{answerAt, std::move(reply.info)},
                               {finalAt, FinalText(status) + Unsolicited(registered)},
                               {finalAt, std::move(shape.after)}};
  if (reply.pinEntry && settings_.pinUnanswered) answer.clear();
  if (shape.splitAt) Split(answer, *shape.splitAt, shape.splitPause);
  Time doneAt = answer.empty() ? echoAt : std::max(echoAt, answer.back().at);

  std::vector<Piece> pieces = {{echoAt, early + shape.before}};
  for (Piece& piece : answer) pieces.push_back(std::move(piece));
  Queue(std::move(pieces));

  // The card needs a moment after the PIN before it answers again; the
  // clock starts when the client hears its OK.
  bool unlocked = before != SimState::kReady && sim_.state() == SimState::kReady;
  if (unlocked && settings_.simBusy.count() > 0) busyUntil_ = doneAt + settings_.simBusy;
  if (unlocked && before == SimState::kWaitPuk && settings_.readyAfterPuk.count() > 0) {
    staleUntil_ = doneAt + settings_.readyAfterPuk;
  }
}

void Modem::Queue(std::vector<Piece> pieces) {
  // One piece per moment, so that no unsolicited line splits what a stick
  // sends in one go (the echo from its answer, above all).
  for (size_t i = 0; i < pieces.size(); ++i) {
    std::string bytes = std::move(pieces[i].bytes);
    while (i + 1 < pieces.size() && pieces[i + 1].at == pieces[i].at) {
      bytes += pieces[++i].bytes;
    }
    output_.Add(pieces[i].at, std::move(bytes));
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

}  // namespace tessivo::modemsim
