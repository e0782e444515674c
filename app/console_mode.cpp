#include "app/console_mode.h"

#include "modem/commands.h"
#include "modem/modem_port.h"
#include "platform/signals.h"
#include "text/cp1252.h"

namespace tessivo {
namespace {

constexpr unsigned kLateReplyWaitMs = 500;

bool SubmitPin(Platform& platform, const std::string& port, const std::string& pin) {
  ModemPort modem(platform);
  if (modem.Open(port) != PortOpenResult::Opened) return false;

  const std::string command = "AT+CPIN=" + pin;
  ReplyText reply = modem.Transact(command);
  platform.Sleep(kLateReplyWaitMs);
  reply += modem.CollectMore();
  modem.Close();

  return IsAccepted(ToLower1252(reply), command);
}

}  // namespace

bool RunConsoleMode(Platform& platform, const std::string& port, const std::string& pin) {
  const bool accepted = IsSafePin(pin) && SubmitPin(platform, port, pin);
  if (accepted) {
    SignalSuccess(platform);
  } else {
    SignalFailure(platform);
  }
  return accepted;
}

}  // namespace tessivo
