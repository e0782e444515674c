// The virtual UMTS stick without any I/O: bytes from the client go in with
// the time they arrived, and the reply bytes come out when they are due.
// It answers the command set of a UMTS stick (ITU-T V.250, 3GPP TS 27.007)
// the way real sticks frame it, with the faults of real sticks on request:
// slow answers, late final result codes, trickling bytes, unsolicited lines
// and a SIM that stays busy for a while after it was unlocked.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "at_command.h"
#include "line_editor.h"
#include "output_schedule.h"
#include "sim_card.h"

namespace tessivo::modemsim {

// Which query for the tries left the stick answers, and whose stick it says
// it is (+CGMI, +CGMM). kDefault is this sim's own: +CPINR and +CSIM.
enum class TriesDialect { kDefault, k3gpp, kHuawei, kZte, kQuectel, kCsim, kNone };

// Hostile timing for the replies to lines that begin with `prefix` (upper
// case, compared with the line as typed from its "AT" on).
struct PrefixDelay {
  std::string prefix;
  Millis delay;  // from the echo to the rest of the reply
};
struct PrefixLine {
  std::string prefix;
  std::string line;  // unsolicited, sent right after the echo
};
struct PrefixSplit {
  std::string prefix;
  size_t byte;  // bytes of the answer (after the echo) sent at once
  Millis pause;
};
struct TimedLine {
  Millis at;  // from the sim's start
  std::string line;
};

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
  // PIN tries left at start; each wrong PIN counts down, and at 0 the SIM
  // wants its PUK.
  int pinTries = SimCard::kPinTries;
  // A stick that is still starting: for the first busyAtStart the SIM
  // answers every command that needs it with "SIM busy" (+CME ERROR: 14);
  // for the first muteAtStart the modem reads everything and answers
  // nothing, not even the echo. Both count from the sim's start.
  Millis busyAtStart{0};
  Millis muteAtStart{0};
  // +CLCK while the SIM still waits for its PIN: carried out (true), or
  // refused with "SIM PIN required" (false).
  bool clckBeforePin = true;
  // PUK tries left at start; at 0 the card is dead for good.
  int pukTries = SimCard::kPukTries;
  // After a PUK unblocked the card, +CPIN? (and ^CPIN?) still report the
  // PUK for this long after the OK, as a stick whose status lags the card.
  Millis readyAfterPuk{0};
  // AT+CPIN=... is echoed and carried out, but never answered.
  bool pinUnanswered = false;
  TriesDialect dialect = TriesDialect::kDefault;
  std::vector<PrefixDelay> answerDelays;
  std::vector<PrefixLine> unsolicitedBefore;
  std::vector<TimedLine> unsolicitedAt;
  std::vector<PrefixSplit> splits;
  // A seed for random, reproducible timing and unsolicited lines on every
  // reply; never for what the answers say.
  std::optional<std::uint64_t> chaos;
};

inline constexpr char kNoiseLine[] = "\r\n^RSSI:17\r\n";

// What the stick says about itself and its network; fixed, so that tests
// can expect them.
namespace stick {
inline constexpr char kManufacturer[] = "Tessivo";
inline constexpr char kModel[] = "modemsim";
inline constexpr char kRevision[] = "1.0.0";
inline constexpr char kImei[] = "004401234567895";
inline constexpr char kImsi[] = "001010123456789";
inline constexpr char kCapabilities[] = "+GCAP: +CGSM,+DS,+ES";
inline constexpr char kOperatorLong[] = "Tessivo Test";
inline constexpr char kOperatorShort[] = "Tessivo";
inline constexpr char kOperatorNumeric[] = "00101";
inline constexpr char kLac[] = "00A1";
inline constexpr char kCellId[] = "0001B2C3";
inline constexpr int kRssi = 17;  // about -79 dBm, as in the ^RSSI lines
}  // namespace stick

// The settings of the command line itself (V.250), which ATZ and AT&F
// restore.
struct LineModes {
  bool echo = true;
  bool verbose = true;  // V1: words; V0: numeric result codes
  bool quiet = false;   // Q1: no result codes at all
  int cmee = 0;
  char s3 = '\r';  // ends a command line and a response line
  char s4 = '\n';  // formats responses
  char s5 = '\b';  // takes back a character
};

class Modem {
 public:
  explicit Modem(const ModemSettings& settings);

  // Bytes read from the client at `now`. The S3 character (a carriage
  // return) ends a command line.
  void Receive(std::string_view bytes, Time now);

  // The bytes due for the client by `now`.
  std::string TakeOutput(Time now) { return output_.Take(now); }
  std::optional<Time> NextWakeup() const { return output_.NextWakeup(); }

  // Forgets what is queued for the client.
  void DropOutput();
  // Every client went away: neither what was meant for them nor the half
  // line they typed may reach the next one.
  void ClientsGone();

  // Console lines for what changed since the last call.
  std::vector<std::string> TakeNotices();
  // One line per password command the SIM received, taken before it acted:
  // "<pin|puk|cpwd|clck> state=<...> pin-tries=N puk-tries=N".
  std::vector<std::string> TakeRecords();

  const SimCard& sim() const { return sim_; }
  const LineModes& modes() const { return modes_; }
  bool echo() const { return modes_.echo; }
  int cmee() const { return modes_.cmee; }

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
    std::string info;       // information responses, framed
    bool password = false;  // a PIN or PUK was checked: the final may come late
    bool pinEntry = false;  // AT+CPIN=...: unanswered with --pin-unanswered
  };

  // How the reply to one line goes out, beyond its words (modem_timing.cpp).
  struct Shape {
    Millis beforeEcho{0};           // the whole reply, echo included, comes late
    Millis afterEcho{0};            // the echo at once, the rest late
    std::string before;             // unsolicited lines right after the echo
    std::string after;              // unsolicited lines after the answer
    std::optional<size_t> splitAt;  // in the answer after the echo
    Millis splitPause{0};
  };
  struct Piece {
    Time at;
    std::string bytes;
  };

  using Handler = Status (Modem::*)(const AtCommand&, Time, Reply&);
  struct Entry {
    const char* name;
    Handler handler;
  };
  static const Entry kCommands[];

  // The line engine and the forms every family shares (modem.cpp).
  void RunLine(const std::string& line, bool tooLong, Time now);
  Status Execute(const AtCommand& cmd, Time now, Reply& reply);
  void Info(Reply& reply, const std::string& text) const;
  // Queues the pieces in order; neighbours due at the same time go as one.
  void Queue(std::vector<Piece> pieces);
  std::string FinalText(const Status& status) const;
  // A fixed text for the action form, OK for the test form.
  Status FixedText(const AtCommand& cmd, Reply& reply, const std::string& text);
  // A setting: the test form answers `range`, the read form the current
  // value, the set form runs `set`; the bare action form is an error.
  Status Parameter(const AtCommand& cmd, Reply& reply, const std::string& range,
                   const std::function<std::string()>& current, const std::function<Status()>& set);

  // The command line itself, V.250 (modem_line.cpp).
  Status Echo(const AtCommand& cmd, Time, Reply&);
  Status Verbose(const AtCommand& cmd, Time, Reply&);
  Status Quiet(const AtCommand& cmd, Time, Reply&);
  Status Reset(const AtCommand& cmd, Time, Reply&);
  Status Identify(const AtCommand& cmd, Time, Reply&);
  Status SRegister(const AtCommand& cmd, Time, Reply&);
  Status CircuitOptions(const AtCommand& cmd, Time, Reply&);
  Status HangUp(const AtCommand& cmd, Time, Reply&);
  void SetEcho(bool on);
  void SetCmee(int mode);
  void RestoreDefaults();

  // Hostile timing and framing (modem_timing.cpp).
  Shape ShapeFor(const std::string& line);
  void ChaosShape(Shape& shape);
  std::uint64_t ChaosNumber();
  static void Split(std::vector<Piece>& pieces, size_t byte, Millis pause);

  // Identification (modem_identity.cpp).
  const char* MakerName() const;
  const char* ModelName() const;
  Status Manufacturer(const AtCommand& cmd, Time, Reply& reply);
  Status Model(const AtCommand& cmd, Time, Reply& reply);
  Status Revision(const AtCommand& cmd, Time, Reply& reply);
  Status SerialNumber(const AtCommand& cmd, Time, Reply& reply);
  Status Imsi(const AtCommand& cmd, Time now, Reply& reply);
  Status Capabilities(const AtCommand& cmd, Time, Reply& reply);

  // Status of the stick and its network (modem_network.cpp).
  Status SignalQuality(const AtCommand& cmd, Time, Reply& reply);
  Status Registration(const AtCommand& cmd, Time, Reply& reply);
  Status Operator(const AtCommand& cmd, Time, Reply& reply);
  Status Functionality(const AtCommand& cmd, Time, Reply& reply);
  // 1 (registered, home network) once the SIM is unlocked and the radio on.
  int RegistrationState() const;
  // +CREG and +CGREG lines for a client that asked for them, when the
  // registration changed from `before`.
  std::string Unsolicited(int before) const;

  // Settings for a connection (modem_settings.cpp).
  Status Cmee(const AtCommand& cmd, Time, Reply& reply);
  Status CharacterSet(const AtCommand& cmd, Time, Reply& reply);
  Status MessageFormat(const AtCommand& cmd, Time, Reply& reply);
  Status MessageService(const AtCommand& cmd, Time, Reply& reply);
  Status PdpContext(const AtCommand& cmd, Time, Reply& reply);

  // The SIM and its passwords (modem_sim.cpp).
  Status Cpin(const AtCommand& cmd, Time now, Reply& reply);
  Status Clck(const AtCommand& cmd, Time now, Reply& reply);
  Status Cpwd(const AtCommand& cmd, Time now, Reply& reply);
  Status Cpinr(const AtCommand& cmd, Time, Reply& reply);
  Status Csim(const AtCommand& cmd, Time, Reply& reply);
  Status HuaweiCpin(const AtCommand& cmd, Time now, Reply& reply);
  Status ZtePinPuk(const AtCommand& cmd, Time now, Reply& reply);
  Status QuectelPinCounts(const AtCommand& cmd, Time now, Reply& reply);
  // The refusal of a tries query while the card cannot say, if any.
  std::optional<Status> NeedCard(Time now) const;
  // What +CPIN? reports: the card's state, or the PUK it still seems to want
  // just after it was unblocked.
  SimState ReportedState(Time now) const;
  void Record(const char* kind, Time now);
  // The error for a command that needs an unlocked, idle SIM, if any.
  std::optional<Status> NeedSim(Time now) const;
  bool Busy(Time now) const { return sim_.state() == SimState::kReady && now < busyUntil_; }
  bool SimStarting(Time now) const { return now < settings_.busyAtStart; }

  ModemSettings settings_;
  SimCard sim_;
  OutputSchedule output_;
  LineEditor editor_;
  LineModes modes_;
  std::string pendingEcho_;
  std::string lastLine_ = "AT";
  int cregMode_ = 0;
  int cgregMode_ = 0;
  int copsFormat_ = 0;
  int functionality_ = 1;
  int autoAnswer_ = 0;  // S0
  int messageFormat_ = 0;
  int messageService_ = 0;
  std::string characterSet_ = "IRA";
  // PDP contexts by their number: type and access point name.
  std::map<int, std::pair<std::string, std::string>> contexts_{{1, {"IP", "internet"}}};
  Time busyUntil_{0};
  Time staleUntil_{0};
  std::uint64_t chaosState_ = 0;
  std::vector<std::string> notices_;
  std::vector<std::string> records_;
};

}  // namespace tessivo::modemsim
