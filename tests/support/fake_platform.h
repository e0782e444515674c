// A platform for unit tests: scripted serial ports and a virtual clock. Time
// passes only when the code under test sleeps or reads (a read waits until
// its byte count is reached or 100 virtual ms have passed, like a real port
// under the Windows time-outs), so tests of multi-second waits run at once and
// can assert exact times.
#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace tessivo::testing {

struct Tone {
  unsigned hz;
  unsigned ms;
  long at;  // virtual time when it started
  bool operator==(const Tone& o) const { return hz == o.hz && ms == o.ms; }
};

// What happened on one port, in order: "open", "purge", "configure",
// "read 100 -> 5 @ 200", "write ATZ\r", "close", ...
struct FakePort {
  PortOpenResult openResult = PortOpenResult::Opened;
  // Answers to a command line (upper-cased, with CR) as it is written:
  // returns the bytes and how many ms after the write they arrive.
  std::function<std::vector<std::pair<long, std::string>>(const std::string&)> modem;
  std::size_t writeLimit = SIZE_MAX;  // bytes a write lets through
  bool isOpen = false;
  int opens = 0;
  std::vector<std::string> log;
  std::string written;
  // Bytes with the virtual time from which they can be read.
  std::vector<std::pair<long, char>> input;
};

// A service that manages the modems behind some ports, with scripted
// answers, and a record of what it was asked.
class FakeModemService : public ModemService {
 public:
  struct Modem {
    ServiceSimState state = ServiceSimState::PinRequired;
    ServiceReply reply = ServiceReply::Accepted;
    std::vector<std::string> calls;  // "pin 1234", "switch 1234 off", "puk 1234 ...", "change .."
    std::optional<unsigned> tries = 3;  // PIN tries left
    std::optional<unsigned> pukTries = 10;
    std::string maker = "", model = "";
    // The state after a password the reply accepts; none: unchanged.
    std::optional<ServiceSimState> stateAfterAccepted = std::nullopt;
    int looks = 0;                      // SimStateNow calls
  };
  std::map<std::string, Modem> modems;  // by the port name the user typed
  std::optional<std::string> portName;  // what discovery gets

  bool stalled = false;  // runs, but answers nothing
  std::vector<unsigned> bounds;  // the bound of every lookup

  ServiceLookup Find(const std::string& port, unsigned boundMs,
                     std::unique_ptr<ManagedModem>& modem) override {
    bounds.push_back(boundMs);
    modem.reset();
    if (stalled) return ServiceLookup::NoAnswer;
    auto found = modems.find(port);
    if (found == modems.end()) return ServiceLookup::NotManaged;
    modem = std::make_unique<Managed>(found->second);
    return ServiceLookup::Managed;
  }
  std::optional<std::string> ManagedPortName() override { return portName; }

 private:
  class Managed : public ManagedModem {
   public:
    explicit Managed(Modem& modem) : modem_(modem) {}
    ServiceSimState SimState() override { return modem_.state; }
    ServiceSimState SimStateNow() override {
      ++modem_.looks;
      return modem_.state;
    }
    std::optional<unsigned> PinTriesLeft() override { return modem_.tries; }
    ServiceReply SendPin(const std::string& pin) override {
      modem_.calls.push_back("pin " + pin);
      return modem_.reply;
    }
    ServiceReply SwitchPinRequest(const std::string& pin, bool on) override {
      modem_.calls.push_back("switch " + pin + (on ? " on" : " off"));
      return modem_.reply;
    }
    std::optional<std::pair<std::optional<unsigned>, std::optional<unsigned>>> Tries()
        override {
      return std::make_pair(modem_.tries, modem_.pukTries);
    }
    ServiceReply SendPuk(const std::string& puk, const std::string& newPin) override {
      modem_.calls.push_back("puk " + puk + " " + newPin);
      return Answered();
    }
    ServiceReply ChangePin(const std::string& oldPin, const std::string& newPin) override {
      modem_.calls.push_back("change " + oldPin + " " + newPin);
      return Answered();
    }
    std::pair<std::string, std::string> MakerAndModel() override {
      return {modem_.maker, modem_.model};
    }

   private:
    ServiceReply Answered() {
      if (modem_.reply == ServiceReply::Accepted && modem_.stateAfterAccepted) {
        modem_.state = *modem_.stateAfterAccepted;
      }
      return modem_.reply;
    }
    Modem& modem_;
  };
};

class FakePlatform : public Platform {
 public:
  ModemService* service = nullptr;  // none: every port is the program's
  long now = 0;  // virtual milliseconds
  std::map<std::string, FakePort> ports;
  std::vector<Tone> tones;
  std::vector<std::string> events;  // sleeps and beeps, with time
  std::string commandLine;
  std::optional<std::vector<std::string>> arguments;  // set: a Linux start
  std::vector<std::size_t> hiddenArguments;
  std::optional<std::string> inputLine;  // what ReadSecretLine gives
  unsigned inputBound = 0;               // the bound of the last read
  std::string inputRefusal;              // what SecretInputRefusal gives
  int inputReads = 0;
  std::string out;
  std::string err;

  FakePort& Port(const std::string& name) { return ports[name]; }

  // Schedules bytes on a port, arriving `delay` ms from now.
  void Arrive(const std::string& name, long delay, const std::string& bytes) {
    auto& in = ports[name].input;
    for (char c : bytes) in.emplace_back(now + delay, c);
    std::stable_sort(in.begin(), in.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
  }

  std::unique_ptr<SerialDevice> NewSerialDevice() override;
  void Sleep(unsigned ms) override {
    events.push_back("sleep " + std::to_string(ms) + " @" + std::to_string(now));
    now += ms;
  }
  std::int64_t MonotonicMs() override { return now; }
  void Beep(unsigned hz, unsigned ms) override {
    tones.push_back({hz, ms, now});
    events.push_back("beep " + std::to_string(hz) + " " + std::to_string(ms));
    now += ms;
  }
  std::string CommandLine() override { return commandLine; }
  std::optional<std::vector<std::string>> Arguments() override { return arguments; }
  void HideArgument(std::size_t index) override { hiddenArguments.push_back(index); }
  std::optional<std::string> ReadSecretLine(unsigned timeoutMs) override {
    inputBound = timeoutMs;
    ++inputReads;
    return inputLine;
  }
  std::string SecretInputRefusal() override { return inputRefusal; }
  void WriteOutput(const std::string& text) override { out += text; }
  void WriteError(const std::string& text) override { err += text; }
  ModemService* ManagingService() override { return service; }
  bool portLocked = false;  // another run holds every port
  std::unique_ptr<PortLock> LockPort(const std::string&, unsigned) override {
    return portLocked ? nullptr : std::make_unique<PortLock>();
  }
};

}  // namespace tessivo::testing
