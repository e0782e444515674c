#include "modem/sim_tries.h"

#include <vector>

#include "modem/reply_fields.h"

namespace tessivo {
namespace {

// The fields of every answer line that begins with `prefix`; none unless the
// reply is complete and ends in OK, since a reply cut short or refused may
// hold anything.
std::vector<std::vector<std::string>> FieldsOfLines(const AtReply& reply,
                                                    const std::string& prefix) {
  std::vector<std::vector<std::string>> lines;
  if (!reply.Ok()) return lines;
  for (const std::string& line : reply.lines) {
    if (const auto rest = AfterPrefix(line, prefix)) lines.push_back(SplitFields(*rest));
  }
  return lines;
}

bool TellsAnything(const SimTries& tries) {
  return tries.pin || tries.puk;
}

// Fills in what `more` tells and `tries` did not know yet.
void Add(SimTries& tries, const SimTries& more) {
  if (!tries.pin) tries.pin = more.pin;
  if (!tries.puk) tries.puk = more.puk;
}

enum class Dialect { ThreeGpp, Huawei, Zte, Quectel, Csim };

// The maker's own dialect first: sticks that know AT+CPINR at all often
// answer it only for the SIM PIN, while their own command tells both.
std::vector<Dialect> DialectsFor(const AtReply& maker) {
  std::vector<Dialect> order;
  if (maker.Ok()) {
    for (const std::string& line : maker.lines) {
      if (line.find("huawei") != std::string::npos) {
        order.push_back(Dialect::Huawei);
      } else if (line.find("zte") != std::string::npos) {
        order.push_back(Dialect::Zte);
      } else if (line.find("quectel") != std::string::npos) {
        order.push_back(Dialect::Quectel);
      } else {
        continue;
      }
      break;
    }
  }
  order.push_back(Dialect::ThreeGpp);
  order.push_back(Dialect::Csim);
  return order;
}

}  // namespace

SimTries TriesFrom3gpp(const AtReply& reply) {
  SimTries tries;
  for (const auto& fields : FieldsOfLines(reply, "+cpinr:")) {
    if (fields.size() < 2) continue;
    if (fields[0] == "sim pin" && !tries.pin) tries.pin = TriesField(fields[1]);
    if (fields[0] == "sim puk" && !tries.puk) tries.puk = TriesField(fields[1]);
  }
  return tries;
}

SimTries TriesFromHuawei(const AtReply& reply) {
  for (const auto& fields : FieldsOfLines(reply, "^cpin:")) {
    if (fields.size() < 4) continue;
    return {TriesField(fields[3]), TriesField(fields[2])};
  }
  return {};
}

SimTries TriesFromZte(const AtReply& reply) {
  for (const auto& fields : FieldsOfLines(reply, "+zpinpuk:")) {
    if (fields.size() < 2) continue;
    return {TriesField(fields[0]), TriesField(fields[1])};
  }
  return {};
}

SimTries TriesFromQuectel(const AtReply& reply) {
  for (const auto& fields : FieldsOfLines(reply, "+qpinc:")) {
    if (fields.size() < 3 || fields[0] != "sc") continue;
    return {TriesField(fields[1]), TriesField(fields[2])};
  }
  return {};
}

std::optional<unsigned> TriesFromCsim(const AtReply& reply) {
  for (const auto& fields : FieldsOfLines(reply, "+csim:")) {
    // "63cx": asked without data, the card says x tries remain.
    if (fields.size() != 2 || fields[0] != "4") continue;
    const std::string& status = fields[1];
    if (status.size() != 4 || status.compare(0, 3, "63c") != 0) continue;
    const std::size_t left = std::string("0123456789abcdef").find(status[3]);
    if (left == std::string::npos) continue;
    return TriesField(std::to_string(left));
  }
  return std::nullopt;
}

SimTries ReadSimTries(const AskModem& ask) {
  bool quiet = false;
  bool cutShort = false;
  const auto query = [&](const std::string& command) {
    AtReply reply = ask(command);
    quiet = !reply.heardAnything;
    cutShort = cutShort || !reply.Complete();
    return reply;
  };
  const SimTries untold{std::nullopt, std::nullopt, false};
  const AtReply maker = query(kMakerQuery);
  if (cutShort) return untold;
  for (const Dialect dialect : DialectsFor(maker)) {
    SimTries tries;
    switch (dialect) {
      case Dialect::Huawei:
        tries = TriesFromHuawei(query(kHuaweiTriesQuery));
        break;
      case Dialect::Zte:
        tries = TriesFromZte(query(kZteTriesQuery));
        break;
      case Dialect::Quectel:
        tries = TriesFromQuectel(query(kQuectelTriesQuery));
        break;
      case Dialect::ThreeGpp: {
        const AtReply both = query(k3gppTriesQuery);
        tries = TriesFrom3gpp(both);
        // Some modems know AT+CPINR only with the code it asks about.
        const bool refused =
            both.final == FinalResult::Error || both.final == FinalResult::CmeError;
        if (refused) {
          tries = TriesFrom3gpp(query(k3gppPinTriesQuery));
          if (!quiet) Add(tries, TriesFrom3gpp(query(k3gppPukTriesQuery)));
        }
        break;
      }
      case Dialect::Csim:
        tries.pin = TriesFromCsim(query(kCsimPinTriesQuery));
        if (!quiet) tries.puk = TriesFromCsim(query(kCsimPukTriesQuery));
        break;
    }
    if (cutShort) return untold;
    if (TellsAnything(tries) || quiet) return tries;
  }
  return {};
}

}  // namespace tessivo
