// The virtual UMTS stick without any I/O: bytes from the client go in with
// the time they arrived, and the reply bytes come out when they are due.
// It answers the few AT commands a SIM unlock needs (3GPP TS 27.007) the way
// real sticks frame them, with the faults of real sticks on request: slow
// answers, late final result codes, trickling bytes, unsolicited lines and a
// SIM that stays busy for a while after it was unlocked.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "at_command.h"
#include "output_schedule.h"
#include "sim_card.h"

namespace tessivo::modemsim {

struct ModemSettings {
  SimState state = SimState::kWaitPin;
  bool lock = true;
  std::string pin = "1234";
  std::string puk = "12345678";
  bool echo = true;
  int cmee = 0;
  Millis replyDelay{0};
  Millis lateFinal{0};
  Millis trickle{0};
  Millis noise{0};
  Millis simBusy{0};
  bool silent = false;
};

inline constexpr char kNoiseLine[] = "\r\n^RSSI:17\r\n";

class Modem {
 public:
  explicit Modem(const ModemSettings& settings);

  // Bytes read from the client at `now`. A carriage return ends a command
  // line; line feeds are ignored.
  void Receive(std::string_view bytes, Time now);

  // The bytes due for the client by `now`.
  std::string TakeOutput(Time now) { return output_.Take(now); }
  std::optional<Time> NextWakeup() const { return output_.NextWakeup(); }

  // The client went away: what was meant for it must not reach the next one.
  void DropOutput();

  // Console lines for what changed since the last call.
  std::vector<std::string> TakeNotices();

  const SimCard& sim() const { return sim_; }
  bool echo() const { return echo_; }
  int cmee() const { return cmee_; }

 private:
  struct Status {
    enum class Kind { kOk, kError, kCme };
    Kind kind = Kind::kOk;
    CmeError cme = CmeError::kOperationNotAllowed;
    bool ok() const { return kind == Kind::kOk; }
  };
  static Status Ok() { return {}; }
  static Status Error() { return {Status::Kind::kError}; }
  static Status Cme(CmeError e) { return {Status::Kind::kCme, e}; }

  // What running the commands of one line produced.
  struct Reply {
    std::string info;       // information lines, framed
    bool password = false;  // a PIN or PUK was checked: the final may come late
  };

  void RunLine(const std::string& line, Time now);
  Status Execute(const AtCommand& cmd, Time now, Reply& reply);
  Status Cpin(const AtCommand& cmd, Time now, Reply& reply);
  Status Clck(const AtCommand& cmd, Time now, Reply& reply);
  Status Cpinr(const AtCommand& cmd, Reply& reply);
  Status Cmee(const AtCommand& cmd, Reply& reply);
  std::string FinalText(const Status& status) const;
  bool Busy(Time now) const { return sim_.state() == SimState::kReady && now < busyUntil_; }
  void SetEcho(bool on);
  void SetCmee(int mode);

  ModemSettings settings_;
  SimCard sim_;
  OutputSchedule output_;
  bool echo_;
  int cmee_;
  std::string line_;
  bool lineTooLong_ = false;
  Time busyUntil_{0};
  std::vector<std::string> notices_;
};

}  // namespace tessivo::modemsim
