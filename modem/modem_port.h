// ModemPort: one connection to one serial port, and the AT command exchange
// on it.
//
// Ownership: whoever opens a port closes it. Every operation that talks to the
// modem keeps its ModemPort as a local object, calls Close itself before it
// returns, and never holds two ports at once. The destructor calls no Close;
// only the device object it frees releases the system's handle (see there).
//
// Timing: replies are collected by time alone, in up to three stages of two
// reads each (every read returns at 100 bytes or after 100 ms). A later stage
// runs, after a pause, only while nothing at all has arrived:
//   Transact:    stage 1, 500 ms, stage 2, 1800 ms, stage 3 (~0.2/0.9/2.9 s)
//   CollectMore: stage 1, 500 ms, stage 2,  800 ms, stage 3 (~0.2/0.9/1.9 s)
// So one call collects at most 200 bytes; the rest waits in the port's queue.
#pragma once

#include <memory>
#include <string>

#include "modem/at_reply.h"
#include "modem/reply_text.h"
#include "platform/platform.h"

namespace tessivo {

class ModemPort {
 public:
  explicit ModemPort(Platform& platform);
  virtual ~ModemPort();

  ModemPort(const ModemPort&) = delete;
  ModemPort& operator=(const ModemPort&) = delete;

  // Opens the named port exclusively, configures it (9600 8N1, time-outs),
  // purges it and drains what the modem sends right after the open (one read
  // of up to 100 bytes). The name goes to the platform unchanged. May be
  // called again after Close or after a failed Open.
  PortOpenResult Open(std::string name);

  // Purges both queues and releases the port. Harmless when not open.
  void Close();

  // Sends one command (any case; it goes out upper-cased with a carriage
  // return, after purging both queues) and collects the reply. Returns the
  // raw reply, ReplyNothingWritten when not one byte went out (also for a
  // command too long for the 104-byte staging buffer), or ReplyNothingReceived
  // when nothing came back.
  ReplyText Transact(std::string command);

  // Collects text that arrives late, without sending or purging. Returns ""
  // when nothing came.
  ReplyText CollectMore();

  // Sends one command as Transact does and reads its reply to the end: until
  // the final result code (OK, ERROR, +CME ERROR) or until timeoutMs have
  // passed since the write, whatever the modem's pauses in between. For the
  // looks, the tries and the guarded forms, which must judge a whole answer
  // and never the first piece of it. What was read is wiped before it
  // returns (the echo may hold a password).
  AtReply Ask(std::string command, unsigned timeoutMs);

  // The longest command that fits the staging buffer with its CR and NUL.
  static constexpr std::size_t kMaxCommandLength = 102;

 private:
  void CollectInStages(ReplyText& reply, unsigned thirdStagePauseMs);
  void ReadOnce(ReplyText& reply);

  Platform& platform_;
  std::unique_ptr<SerialDevice> portHandle;
  bool open_ = false;
};

}  // namespace tessivo
