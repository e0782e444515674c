#include "options.h"

#include <cctype>
#include <cstdlib>
#include <string>
#include <utility>

namespace tessivo::modemsim {

namespace {

bool AllDigits(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

// A day is far beyond any delay a test could want, and keeps the times
// well inside their types.
bool ParseMillis(const std::string& text, Millis& out) {
  if (!AllDigits(text) || text.size() > 8) return false;
  long value = std::strtol(text.c_str(), nullptr, 10);
  if (value > 24L * 3600 * 1000) return false;
  out = Millis(value);
  return true;
}

bool ParseOnOff(const std::string& text, bool& out) {
  if (text == "on") {
    out = true;
  } else if (text == "off") {
    out = false;
  } else {
    return false;
  }
  return true;
}

bool ParseState(const std::string& text, SimState& out) {
  if (text == "ready") {
    out = SimState::kReady;
  } else if (text == "pin") {
    out = SimState::kWaitPin;
  } else if (text == "puk") {
    out = SimState::kWaitPuk;
  } else if (text == "nosim") {
    out = SimState::kAbsent;
  } else {
    return false;
  }
  return true;
}

// "PREFIX=REST": the prefix may hold '=' itself (AT+CPIN=), the rest may
// not, so the last '=' divides them. The prefix is kept in upper case.
bool SplitPrefix(const std::string& text, std::string& prefix, std::string& rest) {
  size_t eq = text.rfind('=');
  if (eq == std::string::npos || eq == 0) return false;
  prefix = text.substr(0, eq);
  for (char& c : prefix) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  rest = text.substr(eq + 1);
  return true;
}

// An unsolicited line: printable, without the line ends it is framed with.
bool ValidLine(const std::string& line) {
  if (line.empty()) return false;
  for (char c : line) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return false;
  }
  return true;
}

bool ParseDialect(const std::string& text, TriesDialect& out) {
  static const std::pair<const char*, TriesDialect> kNames[] = {
      {"3gpp", TriesDialect::k3gpp}, {"huawei", TriesDialect::kHuawei},
      {"zte", TriesDialect::kZte},   {"quectel", TriesDialect::kQuectel},
      {"csim", TriesDialect::kCsim}, {"none", TriesDialect::kNone}};
  for (const auto& [name, dialect] : kNames) {
    if (text == name) {
      out = dialect;
      return true;
    }
  }
  return false;
}

bool ParseOption(const std::string& name, const std::string& value, Options& o) {
  ModemSettings& m = o.modem;
  std::string prefix, rest;
  Millis ms{0};
  if (name == "--answer-delay") {
    if (!SplitPrefix(value, prefix, rest) || !ParseMillis(rest, ms)) return false;
    m.answerDelays.push_back({prefix, ms});
  } else if (name == "--unsolicited-before") {
    if (!SplitPrefix(value, prefix, rest) || !ValidLine(rest)) return false;
    m.unsolicitedBefore.push_back({prefix, rest});
  } else if (name == "--unsolicited-at") {
    size_t eq = value.find('=');
    if (eq == std::string::npos || !ParseMillis(value.substr(0, eq), ms) ||
        !ValidLine(value.substr(eq + 1))) {
      return false;
    }
    m.unsolicitedAt.push_back({ms, value.substr(eq + 1)});
  } else if (name == "--split") {
    size_t colon;
    if (!SplitPrefix(value, prefix, rest) || (colon = rest.find(':')) == std::string::npos) {
      return false;
    }
    std::string byte = rest.substr(0, colon);
    if (!AllDigits(byte) || byte.size() > 5 || !ParseMillis(rest.substr(colon + 1), ms)) {
      return false;
    }
    m.splits.push_back({prefix, std::stoul(byte), ms});
  } else if (name == "--chaos") {
    if (!AllDigits(value) || value.size() > 18) return false;
    m.chaos = std::stoull(value);
  } else if (name == "--puk-tries") {
    if (!AllDigits(value) || value.size() > 2) return false;
    m.pukTries = std::stoi(value);
    return m.pukTries >= 1 && m.pukTries <= SimCard::kPukTries;
  } else if (name == "--ready-after-puk") {
    return ParseMillis(value, m.readyAfterPuk);
  } else if (name == "--tries-dialect") {
    return ParseDialect(value, m.dialect);
  } else if (name == "--record") {
    o.record = value;
    return !value.empty();
  }
  return true;
}

}  // namespace

const char* UsageText() {
  return "usage: tessivo-modemsim --link PATH [options]\n"
         "A virtual UMTS modem on a pseudo-terminal; PATH becomes a link to it.\n"
         "\n"
         "  --link PATH         where to put the link to the serial device (required)\n"
         "  --state STATE       ready | pin | puk | nosim (default pin)\n"
         "  --pin DIGITS        the SIM's PIN (default 1234)\n"
         "  --puk DIGITS        the SIM's PUK (default 12345678)\n"
         "  --lock on|off       PIN request at power-up (default on)\n"
         "  --echo on|off       command echo after a reset (default on)\n"
         "  --cmee 0|1|2        error report mode after a reset (default 0)\n"
         "  --reply-delay MS    wait before the first byte of every reply\n"
         "  --late-final MS     send the final result of PIN and PUK commands MS after\n"
         "                      the command arrived\n"
         "  --trickle MS        send one byte at a time, MS apart\n"
         "  --silent            read everything, answer nothing\n"
         "  --noise MS          send an unsolicited ^RSSI line every MS\n"
         "  --sim-busy MS       after the SIM is unlocked, answer \"SIM busy\" for MS\n"
         "  --pin-tries N       PIN tries left at start, 1 to 3 (default 3)\n"
         "  --busy-at-start MS  for MS after start, the SIM answers \"SIM busy\" to every\n"
         "                      command that needs it (+CME ERROR: 14)\n"
         "  --mute-at-start MS  for MS after start, answer nothing, not even the echo\n"
         "  --clck-before-pin accept|refuse\n"
         "                      +CLCK while the SIM waits for its PIN: carried out\n"
         "                      (default) or refused with +CME ERROR: 11\n"
         "  --puk-tries N       PUK tries left at start, 1 to 10 (default 10)\n"
         "  --ready-after-puk MS\n"
         "                      after a PUK unblocked the SIM, +CPIN? still says SIM PUK\n"
         "                      for MS after the OK\n"
         "  --tries-dialect 3gpp|huawei|zte|quectel|csim|none\n"
         "                      the one query for the tries left the modem answers, and\n"
         "                      the maker it names (default: +CPINR and +CSIM)\n"
         "  --answer-delay PREFIX=MS\n"
         "                      for lines beginning with PREFIX, send the echo at once\n"
         "                      and the rest MS later (repeatable)\n"
         "  --unsolicited-before PREFIX=LINE\n"
         "                      for lines beginning with PREFIX, send LINE right after the\n"
         "                      echo, before the answer (repeatable)\n"
         "  --unsolicited-at MS=LINE\n"
         "                      send LINE MS after start (repeatable)\n"
         "  --split PREFIX=BYTE:MS\n"
         "                      for lines beginning with PREFIX, send BYTE bytes of the\n"
         "                      answer, the rest MS later (repeatable)\n"
         "  --pin-unanswered    carry out AT+CPIN=..., echo it, never answer it\n"
         "  --chaos SEED        random but reproducible delays, splits and unsolicited\n"
         "                      lines on every reply\n"
         "  --record FILE       append a line per password command to FILE, without the\n"
         "                      password\n"
         "  --transcript FILE   append every byte read and written to FILE\n"
         "  --help              show this text\n";
}

ParsedOptions ParseOptions(const std::vector<std::string>& args) {
  ParsedOptions result;
  Options& o = result.options;
  ModemSettings& m = o.modem;
  auto fail = [&result](std::string message) {
    result.error = std::move(message);
    return result;
  };

  for (size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::string value;
    bool hasValue = false;
    size_t eq = name.find('=');
    if (name.compare(0, 2, "--") == 0 && eq != std::string::npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
      hasValue = true;
    }

    if (name == "--help" || name == "-h") {
      o.help = true;
      continue;
    }
    if (name == "--silent") {
      if (hasValue) return fail("--silent takes no value");
      m.silent = true;
      continue;
    }
    if (name == "--pin-unanswered") {
      if (hasValue) return fail("--pin-unanswered takes no value");
      m.pinUnanswered = true;
      continue;
    }

    static const char* const kWithValue[] = {"--link",
                                             "--state",
                                             "--pin",
                                             "--puk",
                                             "--lock",
                                             "--echo",
                                             "--cmee",
                                             "--reply-delay",
                                             "--late-final",
                                             "--trickle",
                                             "--noise",
                                             "--sim-busy",
                                             "--transcript",
                                             "--clck-before-pin",
                                             "--pin-tries",
                                             "--busy-at-start",
                                             "--mute-at-start",
                                             "--puk-tries",
                                             "--ready-after-puk",
                                             "--tries-dialect",
                                             "--answer-delay",
                                             "--unsolicited-before",
                                             "--unsolicited-at",
                                             "--split",
                                             "--chaos",
                                             "--record"};
    bool known = false;
    for (const char* option : kWithValue) known = known || name == option;
    if (!known) return fail("unknown option: " + args[i]);
    if (!hasValue) {
      if (i + 1 >= args.size()) return fail(name + " needs a value");
      value = args[++i];
    }

    bool ok = true;
    if (name == "--link") {
      ok = !value.empty();
      o.link = value;
    } else if (name == "--transcript") {
      ok = !value.empty();
      o.transcript = value;
    } else if (name == "--state") {
      ok = ParseState(value, m.state);
    } else if (name == "--pin") {
      ok = IsValidPin(value);
      m.pin = value;
    } else if (name == "--puk") {
      ok = AllDigits(value) && value.size() >= 4 && value.size() <= 16;
      m.puk = value;
    } else if (name == "--lock") {
      ok = ParseOnOff(value, m.lock);
    } else if (name == "--echo") {
      ok = ParseOnOff(value, m.echo);
    } else if (name == "--cmee") {
      ok = value.size() == 1 && value[0] >= '0' && value[0] <= '2';
      if (ok) m.cmee = value[0] - '0';
    } else if (name == "--reply-delay") {
      ok = ParseMillis(value, m.replyDelay);
    } else if (name == "--late-final") {
      ok = ParseMillis(value, m.lateFinal);
    } else if (name == "--trickle") {
      ok = ParseMillis(value, m.trickle);
    } else if (name == "--noise") {
      ok = ParseMillis(value, m.noise);
    } else if (name == "--sim-busy") {
      ok = ParseMillis(value, m.simBusy);
    } else if (name == "--pin-tries") {
      ok = value.size() == 1 && value[0] >= '1' && value[0] <= '0' + SimCard::kPinTries;
      if (ok) m.pinTries = value[0] - '0';
    } else if (name == "--busy-at-start") {
      ok = ParseMillis(value, m.busyAtStart);
    } else if (name == "--mute-at-start") {
      ok = ParseMillis(value, m.muteAtStart);
    } else if (name == "--clck-before-pin") {
      ok = value == "accept" || value == "refuse";
      m.clckBeforePin = value == "accept";
    } else {
      ok = ParseOption(name, value, o);
    }
    if (!ok) return fail("bad value for " + name + ": '" + value + "'");
  }

  if (!o.help && o.link.empty()) return fail("--link PATH is required");
  return result;
}

}  // namespace tessivo::modemsim
