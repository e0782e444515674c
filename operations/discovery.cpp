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

}  // namespace

// A port whose device answers the question itself ("+CPIN: ...", no error,
// with the echo of the question taken out) is the modem, and wins at once.
// Otherwise the first port that opened and did not answer with an error is
// taken, silent or not: a GPS receiver's sentences or a stream of unsolicited
// lines on COM1 must not beat a modem on COM3, nor count for more than an
// empty port before them; a modem too slow to answer in time is still found
// when nothing better is there.
//
// Where a service manages a modem, its port holds the modem for certain and
// wins before any port is opened.
std::string SimUnlockDialog::FindModemPort() {
  if (ModemService* service = platform().ManagingService()) {
    if (auto managed = service->ManagedPortName()) return *managed;
  }
  ModemPort modem(platform());
  std::string firstWithoutError;
  for (int n = kFirstPort; n <= kLastPort; ++n) {
    const std::string name = "COM" + std::to_string(n);
    if (modem.Open(name) != PortOpenResult::Opened) continue;
    const std::string reply = ToLower1252(modem.Transact(kPinQueryCommand));
    modem.Close();
    if (Contains(reply, "error")) continue;
    if (Contains(WithoutEcho(reply, kPinQueryCommand), "+cpin")) return name;
    if (firstWithoutError.empty()) firstWithoutError = name;
  }
  return firstWithoutError.empty() ? texts::kNoPortFound : firstWithoutError;
}

void SimUnlockDialog::NormalizePortName() {
  FetchFields();
  portName = NormalizedPortName(portName);
  ShowFields();
  RepaintNow();  // the corrected name shows while the next step still blocks
}

}  // namespace tessivo
