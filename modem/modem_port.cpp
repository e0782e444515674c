#include "modem/modem_port.h"

#include "text/cp1252.h"
#include "text/wipe.h"

namespace tessivo {
namespace {

constexpr std::size_t kReadChunk = 100;
constexpr unsigned kSecondStagePauseMs = 500;
constexpr unsigned kTransactThirdStagePauseMs = 1800;
constexpr unsigned kCollectMoreThirdStagePauseMs = 800;
// A modem that keeps talking without ever ending its answer is cut off here:
// no answer Tessivo asks for is near this long.
constexpr std::size_t kLongestAnswer = 4096;

}  // namespace

ModemPort::ModemPort(Platform& platform)
    : platform_(platform), portHandle(platform.NewSerialDevice()) {}

// Closing is the owner's duty: the destructor calls no Close (no purge, no
// release through this object). It frees the device object, and what that
// does is the device's own last line of defence: the real serial devices let
// go of the operating system's handle, so a forgotten Close cannot keep a
// port locked for the rest of the process; the tests' fake device does not,
// so there a forgotten Close still shows as a port left open.
ModemPort::~ModemPort() = default;

PortOpenResult ModemPort::Open(std::string name) {
  open_ = false;
  const PortOpenResult result = portHandle->Open(name);
  if (result != PortOpenResult::Opened) return result;
  open_ = true;

  portHandle->ClearErrors();
  portHandle->Purge();
  portHandle->Configure();

  // Modems often greet a fresh connection with a line or two; that must not
  // be taken for the reply to the first command.
  char drain[kReadChunk];
  portHandle->Read(drain, sizeof drain);
  return PortOpenResult::Opened;
}

void ModemPort::Close() {
  if (!open_) return;
  portHandle->Purge();
  portHandle->Close();
  open_ = false;
}

ReplyText ModemPort::Transact(std::string command) {
  ReplyText reply;
  std::string line = ToUpper1252(command + "\r");
  // A command may carry the PIN: no copy of ours outlives the write.
  WipeSecret(command);
  if (line.size() > kMaxCommandLength + 1) {
    WipeSecret(line);
    return ReplyNothingWritten;
  }

  portHandle->Purge();
  const std::size_t written = portHandle->Write(line.data(), line.size());
  WipeSecret(line);
  if (written == 0) return ReplyNothingWritten;

  CollectInStages(reply, kTransactThirdStagePauseMs);
  return reply.empty() ? ReplyNothingReceived : reply;
}

AtReply ModemPort::Ask(std::string command, unsigned timeoutMs) {
  std::string line = ToUpper1252(command + "\r");
  AtReply reply;
  if (line.size() <= kMaxCommandLength + 1) {
    portHandle->Purge();
    reply.written = portHandle->Write(line.data(), line.size()) != 0;
  }
  WipeSecret(line);
  if (reply.written) {
    const std::int64_t start = platform_.MonotonicMs();
    std::string raw;
    for (;;) {
      const std::size_t before = raw.size();
      ReadOnce(raw);
      if (raw.size() != before) {
        WipeReply(reply);
        reply = ParseAtReply(raw, command);
        reply.written = true;
        if (reply.Complete() || raw.size() >= kLongestAnswer) break;
      }
      if (platform_.MonotonicMs() - start >= timeoutMs) break;
    }
    WipeSecret(raw);
  }
  WipeSecret(command);
  return reply;
}

ReplyText ModemPort::CollectMore() {
  ReplyText reply;
  CollectInStages(reply, kCollectMoreThirdStagePauseMs);
  return reply;
}

// Emptiness is judged after whole stages only: both reads of a stage always
// run, so a reply that arrives in two pieces within the stage is kept whole.
void ModemPort::CollectInStages(ReplyText& reply, unsigned thirdStagePauseMs) {
  const unsigned pauses[] = {0, kSecondStagePauseMs, thirdStagePauseMs};
  for (unsigned pause : pauses) {
    if (!reply.empty()) return;
    if (pause != 0) platform_.Sleep(pause);
    ReadOnce(reply);
    ReadOnce(reply);
  }
}

// A NUL byte would end the text for every caller; drop just that byte and keep
// what follows it in the same chunk.
void ModemPort::ReadOnce(ReplyText& reply) {
  char chunk[kReadChunk];
  const std::size_t count = portHandle->Read(chunk, sizeof chunk);
  for (std::size_t i = 0; i < count && i < sizeof chunk; ++i) {
    if (chunk[i] != '\0') reply.push_back(chunk[i]);
  }
}

}  // namespace tessivo
