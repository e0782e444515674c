// Settings a connection manager makes before it dials: error reports,
// character set, short messages, packet data contexts.
#include <algorithm>
#include <iterator>
#include <string>

#include "command_args.h"
#include "modem.h"

namespace tessivo::modemsim {

// How a failure is reported; ATZ restores it with the line's own modes.
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

}  // namespace tessivo::modemsim
