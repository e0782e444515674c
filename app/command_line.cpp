#include "app/command_line.h"

#include <algorithm>

#include "app/console_mode.h"
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

// "com1" to "com99": a port that can exist. The forms with options hold to
// it, so that COM0 or COMx is told at once rather than waited for.
bool IsComNumber(const std::string& lowerPort) {
  if (!IsComToken(lowerPort) || lowerPort[3] < '1' || lowerPort[3] > '9') return false;
  return lowerPort.size() == 4 || (lowerPort[4] >= '0' && lowerPort[4] <= '9');
}

// PORT into the request; false when it is neither a COM name nor a device
// path (strict: a COM name with a number a port can have).
bool ReadPort(const std::string& portArgument, StartRequest& request, bool strict = false) {
  if (!portArgument.empty() && portArgument.front() == '/') {
    request.port = portArgument;  // a device path: no case mapping, no COM table
    return true;
  }
  request.port = ToLower1252(Trim(portArgument));
  return strict ? IsComNumber(request.port) : IsComToken(request.port);
}

// PORT and PIN into the request; the problem when they are not the console
// form.
UsageProblem ReadConsoleForm(const std::string& portArgument, const std::string& pinArgument,
                             StartRequest& request) {
  if (!ReadPort(portArgument, request)) return UsageProblem::NotAPort;
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

bool AllDigits(const std::string& text, std::size_t length) {
  return text.size() == length &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// One secret of --puk or --change-pin: "-" for standard input, else the
// token if `valid` holds for it. A bad one marks the request and is not kept.
void ReadSecret(const std::string& argument, bool (*valid)(const std::string&), bool readsInput,
                std::string& secret, bool& fromInput, StartRequest& request) {
  const std::string token = ToLower1252(Trim(argument));
  if (readsInput && token == kPinFromInput) {
    fromInput = true;
  } else if (valid(token)) {
    secret = token;
  } else {
    request.badSecret = true;
  }
}

// The secrets of --puk (PUK, NEWPIN) or --change-pin (OLDPIN, NEWPIN);
// with a bad one among them, none is kept.
void ReadSecrets(const std::string& first, const std::string& second, bool readsInput,
                 StartRequest& request) {
  if (request.kind == StartKind::Puk) {
    ReadSecret(first, IsPuk, readsInput, request.puk, request.pukFromInput, request);
  } else {
    ReadSecret(first, IsConsolePin, readsInput, request.pin, request.pinFromInput, request);
  }
  ReadSecret(second, IsNewPin, readsInput, request.newPin, request.newPinFromInput, request);
  if (request.badSecret) {
    for (std::string* secret : {&request.pin, &request.puk, &request.newPin}) secret->clear();
    request.pinFromInput = request.pukFromInput = request.newPinFromInput = false;
  }
}

// The form an option asks for; Console for none of the three.
StartKind FormOf(const std::string& option) {
  if (option == "--status") return StartKind::Status;
  if (option == "--puk") return StartKind::Puk;
  if (option == "--change-pin") return StartKind::ChangePin;
  return StartKind::Console;
}

// How many positional arguments follow PORT in a form.
std::size_t SecretsOf(StartKind form) {
  switch (form) {
    case StartKind::Status:
      return 0;
    case StartKind::Puk:
    case StartKind::ChangePin:
      return 2;
    default:
      return 1;
  }
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

// Windows: the options in the words right before the port, read from the
// port backwards; the program's path (spaces and all) stands before them.
// The request of their form, or nothing when one of them is wrong there.
std::optional<StartRequest> WindowsOptions(const std::string& front) {
  std::vector<std::string> before;
  std::size_t start = 0;
  while (start <= front.size()) {
    const std::size_t space = std::min(front.find(' ', start), front.size());
    if (space > start) before.push_back(front.substr(start, space - start));
    start = space + 1;
  }
  StartRequest request = Request(StartKind::Console);
  bool formGiven = false;
  std::size_t k = before.size();
  while (k > 0) {
    const std::string& last = before[k - 1];
    const StartKind asked = FormOf(last);
    if (asked != StartKind::Console) {
      if (formGiven) return std::nullopt;  // two forms, or one twice
      formGiven = true;
      request.kind = asked;
      --k;
    } else if (last == "--last-try") {
      if (request.lastTry) return std::nullopt;  // an option twice
      request.lastTry = true;
      --k;
    } else if (k >= 2 && before[k - 2] == "--wait") {
      if (request.waitSeconds) return std::nullopt;
      request.waitSeconds = ParseWaitSeconds(last);
      if (!request.waitSeconds) return std::nullopt;
      k -= 2;
    } else if (last == "--wait") {
      return std::nullopt;  // its SECONDS missing
    } else {
      break;
    }
  }
  if (request.lastTry && (request.kind == StartKind::Status ||
                          (request.kind == StartKind::Console && !request.waitSeconds))) {
    return std::nullopt;
  }
  return request;
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
  StartKind formKind = StartKind::Console;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (optionsEnded || !IsOptionWord(argument)) {
      positional.push_back(i);
      if (positional.size() > 1 + SecretsOf(formKind)) {
        return refuse(UsageProblem::TooManyArguments, i);
      }
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
    const StartKind asked = FormOf(argument);
    if (argument != "--wait" && argument != "--last-try" && asked == StartKind::Console) {
      return refuse(UsageProblem::UnknownOption, i);
    }
    if (!positional.empty()) return refuse(UsageProblem::OptionAfterPort, i);
    if (asked != StartKind::Console) {
      if (formKind == asked) return refuse(UsageProblem::Repeated, i);
      if (formKind != StartKind::Console) return refuse(UsageProblem::FormsTogether, i);
      formKind = asked;
      continue;
    }
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
  if (formKind != StartKind::Console) {
    if (lastTryAt != 0 && formKind == StartKind::Status) {
      return refuse(UsageProblem::LastTryWithStatus, lastTryAt);
    }
    if (positional.empty()) return refuse(UsageProblem::PortMissing, 0);
    if (positional.size() < 1 + SecretsOf(formKind)) {
      const bool first = positional.size() == 1;
      return refuse(!first                       ? UsageProblem::NewPinMissing
                    : formKind == StartKind::Puk ? UsageProblem::PukMissing
                                                 : UsageProblem::PinMissing,
                    0);
    }
    StartRequest request = Request(formKind);
    if (!ReadPort(arguments[positional[0]], request, true)) {
      return refuse(UsageProblem::NotAPort, positional[0]);
    }
    if (formKind != StartKind::Status) {
      ReadSecrets(arguments[positional[1]], arguments[positional[2]], true, request);
    }
    request.firstHiddenArgument = hideFrom;
    request.waitSeconds = waitSeconds;
    request.lastTry = lastTryAt != 0;
    return request;
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
  if (form == UsageProblem::NotAPort || !ReadPort(arguments[positional[0]], request, true)) {
    return refuse(UsageProblem::NotAPort, positional[0]);
  }
  if (form == UsageProblem::NotAPin) return refuse(form, positional[1]);
  if (!request.pinFromInput) request.pinArgument = positional[1];
  request.waitSeconds = waitSeconds;
  request.lastTry = lastTryAt != 0;
  return request;
}

std::string PinFromInputLine(const std::string& line) {
  // An editor that saved the PIN file as UTF-8 "with signature" put the
  // byte-order mark in front of it.
  const std::string bom = "\xEF\xBB\xBF";
  const std::size_t from = line.compare(0, bom.size(), bom) == 0 ? bom.size() : 0;
  return ToLower1252(Trim(line.substr(from)));
}

bool IsPuk(const std::string& puk) {
  return AllDigits(puk, 8);
}

bool IsNewPin(const std::string& pin) {
  return AllDigits(pin, 4);
}

StartRequest DecideStartFromCommandLine(const std::string& commandLine) {
  // The last three words, each with the line in front of it. Only a single
  // space separates them, as in the console form.
  std::string line = ToLower1252(TrimRight(commandLine));
  std::vector<std::string> words;   // words[0] is the last
  std::vector<std::string> fronts;  // fronts[k]: the line before words[k]
  for (std::string word; words.size() < 3 && CutLastWord(line, word);) {
    words.push_back(Trim(word));
    fronts.push_back(line);
  }
  // The port third from the end first: a line that asks for --puk or
  // --change-pin must never pass for a PIN sent to a port after the PUK.
  for (std::size_t after = words.size(); after-- > 0;) {
    if (!IsComToken(words[after])) continue;
    std::optional<StartRequest> request = WindowsOptions(fronts[after]);
    if (!request || SecretsOf(request->kind) != after) continue;
    request->port = words[after];
    if (request->kind == StartKind::Console) {
      if (words[0].size() != 4) continue;
      request->pin = words[0];
    } else if (request->kind != StartKind::Status) {
      ReadSecrets(words[1], words[0], false, *request);
    }
    return *request;
  }
  return Dialog();
}

}  // namespace tessivo
