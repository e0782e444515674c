// How --wait reads the SIM's state, its PIN tries and a busy SIM out of a
// reply. The PIN goes out only on a definite "waiting for PIN", so: an error
// anywhere is never a definite state nor a count of tries; a definite state
// stands on a "+cpin:" line of the modem's own; the echo of the command in
// front never changes the verdict; "not ready" needs an error.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/property.h"
#include "modem/commands.h"
#include "modem/reply_text.h"
#include "modem/sim_replies.h"
#include "text/cp1252.h"

namespace tessivo {
namespace {

bool Has(const std::string& text, const char* word) {
  return text.find(word) != std::string::npos;
}

void CheckReply(const std::string& raw) {
  const std::string reply = ToLower1252(raw);
  const SimState state = SimStateFromReply(reply);
  const auto tries = PinTriesFromReply(reply);

  if (Has(reply, "error")) {
    CHECK_PROPERTY(state == SimState::NotReady, raw);
    CHECK_PROPERTY(!tries, raw);
  }
  if (state != SimState::NotReady) CHECK_PROPERTY(Has(reply, "+cpin:"), raw);
  if (tries) CHECK_PROPERTY(*tries <= 999 && Has(reply, "+cpinr:"), raw);
  if (SaysSimNotReady(reply)) CHECK_PROPERTY(Has(reply, "error"), raw);

  // The modem's echo of the command, as it comes before the reply.
  const std::string stateEcho = ToLower1252(kPinQueryCommand) + "\r" + reply;
  CHECK_PROPERTY(SimStateFromReply(stateEcho) == state, raw);
  const std::string triesEcho = ToLower1252(kPinTriesCommand) + "\r" + reply;
  CHECK_PROPERTY(PinTriesFromReply(triesEcho) == tries, raw);
  // The echo alone is no state and no count.
  CHECK_PROPERTY(SimStateFromReply(WithoutEcho(stateEcho, kPinQueryCommand)) == state, raw);
}

}  // namespace
}  // namespace tessivo

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string raw(reinterpret_cast<const char*>(data), size);
  tessivo::CheckReply(raw);
  return 0;
}
