#include "app/command_line.h"

#include <algorithm>

#include "text/cp1252.h"

namespace tessivo {
namespace {

constexpr const char* kPinFromInput = "-";

bool IsWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

std::string TrimRight(std::string text) {
  while (!text.empty() && IsWhiteSpace(text.back())) text.pop_back();
  return text;
}

std::string Trim(const std::string& text) {
  std::size_t begin = 0;
  while (begin < text.size() && IsWhiteSpace(text[begin])) ++begin;
  return TrimRight(text.substr(begin));
}

// Splits off the text from the last space to the end. Fails when there is no
// space or the space is the line's first character.
bool CutLastWord(std::string& line, std::string& word) {
  const std::size_t space = line.rfind(' ');
  if (space == std::string::npos || space == 0) return false;
  word = line.substr(space);
  line.erase(space);
  return true;
}

// "com" and one or two more characters; nothing checks that they are digits
// (an odd name simply finds no port).
bool IsComToken(const std::string& lowerPort) {
  return (lowerPort.size() == 4 || lowerPort.size() == 5) && lowerPort.compare(0, 3, "com") == 0;
}

StartRequest Request(StartKind kind) {
  StartRequest request;
  request.kind = kind;
  return request;
}

StartRequest Dialog() {
  return Request(StartKind::Dialog);
}

// A word that asks for an option: "-" alone is the PIN from standard input.
bool IsOptionWord(const std::string& argument) {
  return argument.size() > 1 && argument.front() == '-';
}

// SECONDS of --wait: decimal digits only (no sign, no blanks), 1 to
// kMaxWaitSeconds.
std::optional<unsigned> ParseWaitSeconds(const std::string& text) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  unsigned value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value < 1 || value > kMaxWaitSeconds) return std::nullopt;
  return value;
}

// PORT and PIN into the request; the problem when they are not the console
// form.
UsageProblem ReadConsoleForm(const std::string& portArgument, const std::string& pinArgument,
                             StartRequest& request) {
  if (!portArgument.empty() && portArgument.front() == '/') {
    request.port = portArgument;  // a device path: no case mapping, no COM table
  } else {
    request.port = ToLower1252(Trim(portArgument));
    if (!IsComToken(request.port)) return UsageProblem::NotAPort;
  }
  const std::string pin = ToLower1252(Trim(pinArgument));
  if (pin == kPinFromInput) {
    request.pinFromInput = true;
  } else if (pin.size() == 4) {
    request.pin = pin;
  } else {
    return UsageProblem::NotAPin;
  }
  return UsageProblem::None;
}

// Where hiding starts: after the first argument that is no option and no
// number after "--wait", i.e. after the port, or after what stands in its
// place on a mistyped line. Read leniently, so a line refused for any reason
// still hides what may be its PIN.
std::size_t FirstArgumentToHide(const std::vector<std::string>& arguments) {
  bool optionsEnded = false;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (!optionsEnded && argument == "--") {
      optionsEnded = true;
    } else if (!optionsEnded && IsOptionWord(argument)) {
      const bool number = i + 1 < arguments.size() && !arguments[i + 1].empty() &&
                          arguments[i + 1].find_first_not_of("0123456789") == std::string::npos;
      if (argument == "--wait" && number) ++i;
    } else {
      return i + 1 < arguments.size() ? i + 1 : 0;
    }
  }
  return 0;
}

}  // namespace

std::optional<ConsoleArguments> ParseConsoleCommandLine(const std::string& commandLine) {
  std::string line = ToLower1252(TrimRight(commandLine));
  std::string pin;
  std::string port;
  if (!CutLastWord(line, pin) || !CutLastWord(line, port)) return std::nullopt;
  pin = Trim(pin);
  port = Trim(port);
  if (!IsComToken(port) || pin.size() != 4) return std::nullopt;
  return ConsoleArguments{port, pin};
}

StartRequest DecideStartFromArguments(const std::vector<std::string>& arguments) {
  const std::size_t hideFrom = FirstArgumentToHide(arguments);
  const auto refuse = [hideFrom](UsageProblem problem, std::size_t index) {
    StartRequest request = Request(StartKind::UsageError);
    request.problem = problem;
    request.offendingArgument = index;
    request.firstHiddenArgument = hideFrom;
    return request;
  };

  std::vector<std::size_t> positional;
  bool optionsEnded = false;
  std::optional<unsigned> waitSeconds;
  std::size_t lastTryAt = 0;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (optionsEnded || !IsOptionWord(argument)) {
      positional.push_back(i);
      if (positional.size() > 2) return refuse(UsageProblem::TooManyArguments, i);
      continue;
    }
    if (argument == "--") {
      optionsEnded = true;
      continue;
    }
    if (argument == "--help" || argument == "-h" || argument == "--version") {
      if (arguments.size() != 2) return refuse(UsageProblem::NotAlone, i);
      return Request(argument == "--version" ? StartKind::Version : StartKind::Help);
    }
    if (argument != "--wait" && argument != "--last-try") {
      return refuse(UsageProblem::UnknownOption, i);
    }
    if (!positional.empty()) return refuse(UsageProblem::OptionAfterPort, i);
    if (argument == "--last-try") {
      if (lastTryAt != 0) return refuse(UsageProblem::Repeated, i);
      lastTryAt = i;
      continue;
    }
    if (waitSeconds) return refuse(UsageProblem::Repeated, i);
    if (i + 1 == arguments.size()) return refuse(UsageProblem::MissingSeconds, i);
    waitSeconds = ParseWaitSeconds(arguments[++i]);
    if (!waitSeconds) return refuse(UsageProblem::BadSeconds, i);
  }
  if (lastTryAt != 0 && !waitSeconds) return refuse(UsageProblem::LastTryWithoutWait, lastTryAt);

  StartRequest request = Request(StartKind::Console);
  request.firstHiddenArgument = hideFrom;
  const UsageProblem form =
      positional.size() == 2
          ? ReadConsoleForm(arguments[positional[0]], arguments[positional[1]], request)
          : UsageProblem::PinMissing;
  if (!waitSeconds) {
    // Without options, every start that is not the console form opens the
    // dialog, as it always did; there nothing is sent without the user.
    if (form == UsageProblem::None) {
      if (!request.pinFromInput) request.pinArgument = positional[1];
      return request;
    }
    StartRequest dialog = Dialog();
    dialog.firstHiddenArgument = hideFrom;
    return dialog;
  }
  // Options belong to the console form: anything short of it is a mistake.
  if (positional.empty()) return refuse(UsageProblem::PortAndPinMissing, 0);
  if (positional.size() == 1) return refuse(UsageProblem::PinMissing, 0);
  if (form == UsageProblem::NotAPort) return refuse(form, positional[0]);
  if (form == UsageProblem::NotAPin) return refuse(form, positional[1]);
  if (!request.pinFromInput) request.pinArgument = positional[1];
  request.waitSeconds = waitSeconds;
  request.lastTry = lastTryAt != 0;
  return request;
}

std::string PinFromInputLine(const std::string& line) {
  return ToLower1252(Trim(line));
}

StartRequest DecideStartFromCommandLine(const std::string& commandLine) {
  const auto console = ParseConsoleCommandLine(commandLine);
  if (!console) return Dialog();
  StartRequest request = Request(StartKind::Console);
  request.port = console->port;
  request.pin = console->pin;

  // The words before the port, read from the port backwards: the options
  // stand right before it, the program's path (spaces and all) before them.
  std::string line = ToLower1252(TrimRight(commandLine));
  std::string word;
  CutLastWord(line, word);  // the PIN
  CutLastWord(line, word);  // the port
  std::vector<std::string> before;
  std::size_t start = 0;
  while (start <= line.size()) {
    const std::size_t space = std::min(line.find(' ', start), line.size());
    if (space > start) before.push_back(line.substr(start, space - start));
    start = space + 1;
  }
  bool lastTry = false;
  std::size_t k = before.size();
  while (k > 0) {
    const std::string& last = before[k - 1];
    if (last == "--last-try") {
      if (lastTry) return Dialog();  // an option twice
      lastTry = true;
      --k;
    } else if (k >= 2 && before[k - 2] == "--wait") {
      if (request.waitSeconds) return Dialog();
      request.waitSeconds = ParseWaitSeconds(last);
      if (!request.waitSeconds) return Dialog();
      k -= 2;
    } else if (last == "--wait") {
      return Dialog();  // its SECONDS missing
    } else {
      break;
    }
  }
  if (lastTry && !request.waitSeconds) return Dialog();
  request.lastTry = lastTry;
  return request;
}

}  // namespace tessivo
