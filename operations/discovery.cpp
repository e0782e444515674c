// Which port the dialog starts with, and the clean-up of a typed port name.
#include "modem/commands.h"
#include "modem/modem_port.h"
#include "operations/reply_classification.h"
#include "operations/status_texts.h"
#include "text/cp1252.h"
#include "ui/sim_unlock_dialog.h"

namespace tessivo {
namespace {

constexpr int kFirstPort = 1;
constexpr int kLastPort = 20;

bool IsSentinel(const ReplyText& reply) {
  return reply == ReplyNothingWritten || reply == ReplyNothingReceived;
}

}  // namespace

// A port whose device really answers, without an error, wins. A port that
// opens but stays silent is only the fall-back: an empty serial port on COM1
// must not hide a modem on COM3, yet a modem too slow to answer in time is
// still found when nothing better is there.
std::string SimUnlockDialog::FindModemPort() {
  ModemPort modem(platform());
  std::string firstSilent;
  for (int n = kFirstPort; n <= kLastPort; ++n) {
    const std::string name = "COM" + std::to_string(n);
    if (modem.Open(name) != PortOpenResult::Opened) continue;
    const ReplyText reply = modem.Transact(kPinQueryCommand);
    modem.Close();
    if (IsSentinel(reply)) {
      if (firstSilent.empty()) firstSilent = name;
    } else if (!Contains(ToLower1252(reply), "error")) {
      return name;
    }
  }
  return firstSilent.empty() ? texts::kNoPortFound : firstSilent;
}

void SimUnlockDialog::NormalizePortName() {
  FetchFields();
  portName = NormalizedPortName(portName);
  ShowFields();
  RepaintNow();  // the corrected name shows while the next step still blocks
}

}  // namespace tessivo
