// Whether the modem took a password command: console mode's AT+CPIN, the
// dialog's PIN submission and the two lock commands. The input chooses the
// command, the modem's echo (none, once, twice), a four-byte PIN and the
// modem's own reply after the echo.
//
// Properties: acceptance means "ok" and no "error" once the first echo is
// gone; an echo in front never changes the verdict of the modem's own reply,
// so letters of the password ("okok") can never pass for its OK; an "error"
// from the modem always means failure; a wrong PIN is an error that says
// "incorrect".
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

bool IsAsciiAlnum(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

std::string Command(std::uint8_t form, const std::string& pin) {
  switch (form % 4) {
    case 0:
      return "AT+CPIN=" + pin;  // console mode's spelling
    case 1:
      return PinCommand(pin);
    case 2:
      return EnableLockCommand(pin);
    default:
      return DisableLockCommand(pin);
  }
}

// The first occurrence of the lower-cased command cut out, found by trying
// every position.
std::string ReferenceWithoutEcho(const std::string& reply, const std::string& command) {
  const std::string echo = ToLower1252(command);
  for (std::size_t at = 0; at + echo.size() <= reply.size(); ++at) {
    if (reply.compare(at, echo.size(), echo) == 0) {
      return reply.substr(0, at) + reply.substr(at + echo.size());
    }
  }
  return reply;
}

bool OkWithoutError(const std::string& text) {
  return Has(text, "ok") && !Has(text, "error");
}

}  // namespace
}  // namespace tessivo

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessivo;
  if (size < 6) return 0;
  const std::uint8_t form = data[0];
  const int echoes = data[1] % 3;
  const std::string pin(reinterpret_cast<const char*>(data + 2), 4);
  const std::string body(reinterpret_cast<const char*>(data + 6), size - 6);
  const std::string all(reinterpret_cast<const char*>(data), size);  // for the report

  const std::string command = Command(form, pin);
  // The modem echoes what went out: the command upper-cased, with its CR.
  std::string raw;
  for (int i = 0; i < echoes; ++i) raw += ToUpper1252(command) + "\r";
  raw += body;
  const std::string reply = ToLower1252(raw);
  const std::string lowerBody = ToLower1252(body);

  const std::string without = WithoutEcho(reply, command);
  CHECK_PROPERTY(without == ReferenceWithoutEcho(reply, command), all);

  const bool accepted = IsAccepted(reply, command);
  CHECK_PROPERTY(accepted == OkWithoutError(without), all);

  const CommandOutcome outcome = ClassifyCommandReply(reply, command);
  CHECK_PROPERTY((outcome == CommandOutcome::Accepted) == accepted, all);
  CHECK_PROPERTY((outcome == CommandOutcome::WrongPin) ==
                     (!accepted && Has(without, "error") && Has(without, "incorrect")),
                 all);

  // The modem's own error is final, behind any number of echoes.
  if (echoes > 0 && Has(lowerBody, "error")) {
    CHECK_PROPERTY(!accepted && outcome != CommandOutcome::Accepted, all);
  }
  // One echo, the usual case, is as if the modem had not echoed at all.
  if (echoes == 1) {
    CHECK_PROPERTY(accepted == OkWithoutError(lowerBody), all);
  }
  // Without an echo in front, cutting the command out of the reply can only
  // split an "error" when the command shares its letters; the commands' own
  // text has none, so with a PIN free of them an error always fails.
  const std::string lowerCommand = ToLower1252(command);
  if (lowerCommand.find_first_of("ero") == std::string::npos && Has(reply, "error")) {
    CHECK_PROPERTY(!accepted, all);
  }
  // The sentinels of a failed exchange are never acceptance.
  CHECK_PROPERTY(!IsAccepted(ReplyNothingWritten, command), all);
  CHECK_PROPERTY(!IsAccepted(ReplyNothingReceived, command), all);

  // Only letters and digits ever go into a command line.
  bool alnum = true;
  for (char c : pin) alnum = alnum && IsAsciiAlnum(c);
  CHECK_PROPERTY(IsSafePin(pin) == alnum, all);
  return 0;
}
