// A hostile modem for the fault tests: a pseudo-terminal, linked where a port
// is looked for, served by a thread of the test itself. It answers the probe's
// questions like a SIM waiting for its PIN (or not at all), and answers the
// password command (AT+CPIN=..., AT+CLCK="SC",0|1,...) with whatever the test
// scripts: garbage, floods, trickles, late or contradictory result codes, or
// by vanishing. It records every byte that reached the device.
//
// The tty keeps the kernel's default software flow control (IXON) until the
// program under test configures it, as a freshly plugged-in stick would.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace tessivo::testing {

struct HostileBehaviour {
  // Endless output from the moment the modem exists, for streamMs.
  enum class Stream { None, RandomBytes, RssiLines, NmeaSentences } stream = Stream::None;
  long streamMs = 10000;
  // Written into the tty before any program opens it; the line discipline
  // acts on it at once (an XOFF stops the tty's output).
  std::string beforeOpen;
  // ATZ, the lock query and the PIN query get the answers of a SIM waiting
  // for its PIN; otherwise nothing but the scripted reply ever comes back.
  bool answersProbes = true;
  // The reply to the password command; "%e" stands for its echo (the line as
  // received, with its CR).
  std::string reply;
  long replyAfterMs = 0;  // from the command's CR
  long byteGapMs = 0;     // > 0: the reply one byte at a time, this far apart
  // After the reply (at once, when there is none): the device goes away.
  enum class Then { Stays, Vanishes, VanishesWithItsLink } then = Then::Stays;
};

class HostileModem {
 public:
  HostileModem(const std::string& link, HostileBehaviour behaviour);
  ~HostileModem();
  HostileModem(const HostileModem&) = delete;
  HostileModem& operator=(const HostileModem&) = delete;

  bool running() const { return master_ >= 0 || vanished_; }
  // Everything the device received, in order.
  std::string BytesIn() const;
  // Whether the password command has arrived.
  bool CommandArrived() const { return commandArrived_; }
  // The device behind the link (/dev/pts/N).
  const std::string& Device() const { return device_; }

 private:
  void Serve();
  void Received(const char* bytes, std::size_t n, long now);
  void Queue(long due, const std::string& bytes, long byteGapMs);
  void Vanish();

  HostileBehaviour behaviour_;
  std::string link_;
  std::string device_;
  int master_ = -1;
  int slave_ = -1;  // held, so the tty and its settings live between clients
  std::atomic<bool> stop_{false};
  std::atomic<bool> commandArrived_{false};
  std::atomic<bool> vanished_{false};
  mutable std::mutex mutex_;
  std::string in_;
  std::string line_;
  // Bytes due to go out, by the time they are due (ms since the start).
  std::vector<std::pair<long, std::string>> out_;
  long vanishAt_ = -1;
  std::thread thread_;
};

}  // namespace tessivo::testing
