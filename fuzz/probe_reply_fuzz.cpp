// How the probe reads the lock query's and the PIN query's replies. An error
// in the reply is never good news, whatever else it holds; the tests run in a
// fixed order (PUK before PIN, "ready" over "pin"); and the reply decides
// alone, so the same bytes with the modem's echo before them only add the
// echo's "pin".
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/property.h"
#include "modem/commands.h"
#include "modem/reply_text.h"
#include "operations/reply_classification.h"
#include "text/cp1252.h"

namespace tessivo {
namespace {

bool Has(const std::string& text, const char* word) {
  return text.find(word) != std::string::npos;
}

ProbeResult ExpectedPinQuery(const std::string& reply) {
  if (Has(reply, "error")) return ProbeResult::NoModem;
  if (Has(reply, "puk")) return ProbeResult::PukRequired;
  if (Has(reply, "ready")) return ProbeResult::Unlocked;
  if (Has(reply, "pin")) return ProbeResult::PinRequired;
  return ProbeResult::NoModem;
}

bool IsGoodNews(ProbeResult result) {
  return result == ProbeResult::PinRequired || result == ProbeResult::Unlocked ||
         result == ProbeResult::PukRequired || result == ProbeResult::PinRequestOff;
}

void CheckReply(const std::string& raw) {
  const std::string reply = ToLower1252(raw);
  const ProbeResult pin = ClassifyPinQueryReply(reply);
  const ProbeResult lock = ClassifyLockQueryReply(reply);

  CHECK_PROPERTY(pin == ExpectedPinQuery(reply), raw);
  CHECK_PROPERTY(pin != ProbeResult::PinRequestOff, raw);
  CHECK_PROPERTY(lock == ProbeResult::PinRequestOff || lock == ProbeResult::NoModem, raw);
  CHECK_PROPERTY(
      (lock == ProbeResult::PinRequestOff) == (Has(reply, "clck: 0") && !Has(reply, "error")), raw);
  if (Has(reply, "error")) {
    CHECK_PROPERTY(!IsGoodNews(pin) && !IsGoodNews(lock), raw);
  }

  // The echo of "at+cpin?" holds "pin" and nothing else the tests look for.
  const std::string echoed = ToLower1252(kPinQueryCommand) + "\r" + reply;
  const ProbeResult withEcho = ClassifyPinQueryReply(echoed);
  CHECK_PROPERTY(
      withEcho ==
          (pin == ProbeResult::NoModem && !Has(reply, "error") ? ProbeResult::PinRequired : pin),
      raw);
  const std::string lockEcho = ToLower1252(kLockQueryCommand) + "\r" + reply;
  CHECK_PROPERTY(ClassifyLockQueryReply(lockEcho) == lock, raw);
}

}  // namespace
}  // namespace tessivo

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string raw(reinterpret_cast<const char*>(data), size);
  tessivo::CheckReply(raw);
  return 0;
}
