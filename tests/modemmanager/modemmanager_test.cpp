// Tessivo beside the real ModemManager, which manages the virtual modems
// that with_modemmanager.sh set up (COM9..COM25, one SIM state each): the
// console form and the dialog go through ModemManager's D-Bus API, show what
// the serial way shows for the same SIM, and leave ModemManager knowing the
// SIM's new state. Every case runs against the one daemon, each on modems
// of its own.
#include <gtest/gtest.h>

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <iostream>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "modemmanager/modem_manager_service.h"
#include "operations/status_texts.h"
#include "platform/posix/posix_platform.h"
#include "resources/resource.h"
#include "tests/support/process.h"
#include "tests/support/qt_dialog_run.h"
#include "tests/support/tone_capture.h"
#include "ui/sim_unlock_dialog.h"

namespace tessivo::testing {
namespace {

std::string Work(const std::string& name) {
  const char* work = std::getenv("TESSIVO_MM_WORK");
  return std::string(work ? work : "/nonexistent") + "/" + name;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The bytes a managed modem received, from its transcript.
std::string BytesInOf(int tty) {
  std::istringstream lines(ReadAll(Work("sims/tty" + std::to_string(tty) + ".log")));
  std::string line, bytes;
  while (std::getline(lines, line)) {
    const std::size_t in = line.find(" IN ");
    if (in != std::string::npos) bytes += Unescape(line.substr(in + 4));
  }
  return bytes;
}

bool Eventually(const std::function<bool()>& condition, int seconds = 15) {
  for (int i = 0; i < seconds * 10; ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return condition();
}

// ModemManager's own account of a modem, by its primary port, as mmcli's
// key-value lines ("modem.generic.unlock-required : sim-pin").
struct MmModem {
  std::string path;
  std::string keys;
  std::string Value(const std::string& key) const {
    const std::size_t at = keys.find(key + " ");
    if (at == std::string::npos) return "";
    const std::size_t colon = keys.find(": ", at);
    const std::size_t end = keys.find('\n', colon);
    return keys.substr(colon + 2, end - colon - 2);
  }
  bool Has(const std::string& text) const { return keys.find(text) != std::string::npos; }
};

std::vector<std::string> ModemPaths() {
  const std::string list = RunProgram({"/usr/bin/mmcli", "-L"}, {}).out;
  std::vector<std::string> paths;
  for (std::size_t at = list.find("/org/"); at != std::string::npos; at = list.find("/org/", at)) {
    const std::size_t end = list.find(' ', at);
    paths.push_back(list.substr(at, end - at));
    at = end;
  }
  return paths;
}

MmModem ModemManagerSays(int tty) {
  for (const std::string& path : ModemPaths()) {
    MmModem modem{path, RunProgram({"/usr/bin/mmcli", "-m", path, "-K"}, {}).out};
    if (modem.Value("modem.generic.primary-port") == "tty" + std::to_string(tty)) return modem;
  }
  ADD_FAILURE() << "ModemManager has no modem on tty" << tty;
  return {};
}

std::string Com(int tty) {
  return "COM" + std::to_string(tty);
}

// The mock polkit refuses everything unknown while one of these lives.
class PolkitRefusing {
 public:
  PolkitRefusing() { Allow("false"); }
  ~PolkitRefusing() { Allow("true"); }

 private:
  static void Allow(const char* allow) {
    const ProcessResult run =
        RunProgram({"/usr/bin/gdbus", "call", "--system", "-d", "org.freedesktop.PolicyKit1", "-o",
                    "/org/freedesktop/PolicyKit1/Authority", "-m",
                    "org.freedesktop.DBus.Mock.AllowUnknown", allow},
                   {});
    EXPECT_EQ(run.exitCode, 0) << run.err;
  }
};

enum class Signal { None, Success, Failure };

void ExpectSignal(const std::vector<CapturedTone>& tones, Signal signal) {
  const std::size_t count = signal == Signal::None ? 0 : signal == Signal::Success ? 1 : 2;
  ASSERT_EQ(tones.size(), count);
  for (const auto& tone : tones) {
    const double hz = signal == Signal::Success ? 3000 : 120;
    EXPECT_NEAR(tone.hz, hz, hz * 0.02);
  }
}

struct ConsoleRun {
  ProcessResult result;
  std::vector<CapturedTone> tones;
};

ConsoleRun RunConsole(const std::string& port, const std::string& pin,
                      std::map<std::string, std::string> env = {}) {
  TempDir toneDir;
  ToneCapture capture(toneDir.path());
  for (const auto& [key, value] : capture.Environment()) env.emplace(key, value);
  ConsoleRun run;
  run.result = RunProgram({TESSIVO_BIN, port, pin}, env, 60000);
  run.tones = capture.Tones();
  return run;
}

// --- The console form through ModemManager.

struct ConsoleCase {
  const char* what;
  int tty;
  const char* pin;
  int exitCode;
  Signal signal;
  bool pinReachesTheModem;
  const char* lockAfter;  // ModemManager's unlock-required afterwards
  const char* pinTriesAfter;
};

const ConsoleCase kConsoleCases[] = {
    {"RightPin", 9, "1234", 0, Signal::Success, true, "--", "sim-pin (3)"},
    {"WrongPin", 10, "0000", 1, Signal::Failure, true, "sim-pin", "sim-pin (2)"},
    // The serial way's modem refuses a PIN in these states without using a
    // try; through ModemManager nothing is sent at all.
    {"PukLocked", 11, "1234", 1, Signal::Failure, false, "sim-puk", "sim-pin (0)"},
    {"AlreadyUnlocked", 12, "1234", 1, Signal::Failure, false, "--", "sim-pin (3)"},
};

void PrintTo(const ConsoleCase& c, std::ostream* out) {
  *out << c.what;
}

class ConsoleThroughModemManager : public ::testing::TestWithParam<ConsoleCase> {};

TEST_P(ConsoleThroughModemManager, ExitStatusTonesAndWhatModemManagerKnowsAfterwards) {
  const ConsoleCase& c = GetParam();
  const std::string before = BytesInOf(c.tty);
  const ConsoleRun run = RunConsole(Com(c.tty), c.pin);

  EXPECT_EQ(run.result.exitCode, c.exitCode) << run.result.err;
  EXPECT_EQ(run.result.out, "");
  ExpectSignal(run.tones, c.signal);
  const std::string sent = BytesInOf(c.tty).substr(before.size());
  EXPECT_EQ(sent.find(c.pin) != std::string::npos, c.pinReachesTheModem) << sent;

  MmModem modem;
  EXPECT_TRUE(Eventually([&] {
    modem = ModemManagerSays(c.tty);
    return modem.Value("modem.generic.unlock-required") == c.lockAfter &&
           modem.Has(c.pinTriesAfter);
  })) << modem.keys;
  // Unlocked, ModemManager goes on to set the modem up.
  if (c.exitCode == 0) {
    EXPECT_NE(modem.Value("modem.generic.state"), "locked");
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, ConsoleThroughModemManager, ::testing::ValuesIn(kConsoleCases),
                         [](const auto& info) { return std::string(info.param.what); });

// --- --wait through ModemManager: the looks ask ModemManager, which holds
// the port, and the PIN goes out at most once, only to a SIM waiting for it.

// How often a PIN command reached the modem (ModemManager's quoted form).
std::size_t PinCommandsIn(const std::string& bytes) {
  std::size_t count = 0;
  for (std::size_t at = bytes.find("AT+CPIN="); at != std::string::npos;
       at = bytes.find("AT+CPIN=", at + 1)) {
    ++count;
  }
  return count;
}

struct WaitCase {
  const char* what;
  int tty;
  std::vector<std::string> options;  // before the port and the PIN
  const char* pin;
  int exitCode;
  const char* report;  // the start of the line on standard error
  std::size_t pinCommands;
  const char* lockAfter;
  const char* pinTriesAfter;
  // ModemManager enabled the modem first, as NetworkManager has it do, and
  // so holds its port: the serial way would find it busy.
  bool enabledFirst;
};

const WaitCase kWaitCases[] = {
    {"WaitsForItsPin", 22, {"--wait", "30"}, "1234", 0, "tessivo: PIN angenommen", 1, "--",
     "sim-pin (3)", false},
    {"AlreadyUnlocked", 23, {"--wait", "30"}, "1234", 0, "tessivo: SIM ist schon freigegeben", 0,
     "--", "sim-pin (3)", true},
    {"OneTryLeft", 24, {"--wait", "30"}, "1234", 9, "tessivo: nur noch ein PIN-Versuch", 0,
     "sim-pin", "sim-pin (1)", false},
    {"WrongPin", 25, {"--wait", "30"}, "0000", 1, "tessivo: PIN abgelehnt", 1, "sim-pin",
     "sim-pin (2)", false},
};

void PrintTo(const WaitCase& c, std::ostream* out) {
  *out << c.what;
}

class WaitThroughModemManager : public ::testing::TestWithParam<WaitCase> {};

TEST_P(WaitThroughModemManager, ExitStatusReportWireAndModemManagersStateAfterwards) {
  const WaitCase& c = GetParam();
  if (c.enabledFirst) {
    const ProcessResult enable =
        RunProgram({"/usr/bin/mmcli", "-m", ModemManagerSays(c.tty).path, "-e"}, {}, 60000);
    ASSERT_EQ(enable.exitCode, 0) << enable.out << enable.err;
  }
  const std::string before = BytesInOf(c.tty);
  TempDir toneDir;
  ToneCapture capture(toneDir.path());
  std::vector<std::string> argv = {TESSIVO_BIN};
  argv.insert(argv.end(), c.options.begin(), c.options.end());
  argv.push_back(Com(c.tty));
  argv.push_back(c.pin);
  const ProcessResult run = RunProgram(argv, capture.Environment(), 60000);

  EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
  EXPECT_EQ(run.err.rfind(c.report, 0), 0u) << run.err;
  ExpectSignal(capture.Tones(), c.exitCode == 0 ? Signal::Success : Signal::Failure);
  MmModem modem;
  EXPECT_TRUE(Eventually([&] {
    modem = ModemManagerSays(c.tty);
    return modem.Value("modem.generic.unlock-required") == c.lockAfter &&
           modem.Has(c.pinTriesAfter);
  })) << modem.keys;
  // Counted after ModemManager has settled, so nothing is still on its way.
  const std::string sent = BytesInOf(c.tty).substr(before.size());
  EXPECT_EQ(PinCommandsIn(sent), c.pinCommands) << sent;
  // The tries left came from ModemManager: the serial way's question for
  // them never reached the modem.
  EXPECT_EQ(sent.find("AT+CPINR"), std::string::npos) << sent;
}

INSTANTIATE_TEST_SUITE_P(Cases, WaitThroughModemManager, ::testing::ValuesIn(kWaitCases),
                         [](const auto& info) { return std::string(info.param.what); });

// --- Where ModemManager does not own the port, the serial way, unchanged.

struct SerialWayCase {
  const char* what;
  std::string bus;  // DBUS_SYSTEM_BUS_ADDRESS for the run
};

std::vector<SerialWayCase> SerialWayCases() {
  const char* bus = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
  return {
      {"PortModemManagerDoesNotManage", bus ? bus : ""},
      {"ModemManagerNotRunning", "unix:path=" + Work("quiet-bus")},
      {"NoSystemBus", "unix:path=" + Work("no-bus-here")},
  };
}

class SerialWay : public ::testing::TestWithParam<SerialWayCase> {};

TEST_P(SerialWay, PinGoesOverThePortAsBefore) {
  TempDir dir;
  VirtualModem sim(dir / "com3", {}, dir / "transcript");
  ASSERT_TRUE(sim.running());
  const ConsoleRun run = RunConsole(
      "COM3", "1234", {{"TESSIVO_PORT_DIR", dir.path()}, {"DBUS_SYSTEM_BUS_ADDRESS", GetParam().bus}});
  EXPECT_EQ(run.result.exitCode, 0) << run.result.err;
  ExpectSignal(run.tones, Signal::Success);
  EXPECT_EQ(sim.BytesIn(), "AT+CPIN=1234\r");
}

INSTANTIATE_TEST_SUITE_P(Cases, SerialWay, ::testing::ValuesIn(SerialWayCases()),
                         [](const auto& info) { return std::string(info.param.what); });

// --- The dialog.

class DialogRun : public QtDialogRun {
 public:
  // "Modem testen" on another port.
  void Probe(const std::string& port) {
    TypeInto(IDC_PORT, port);
    Click(IDC_TEST_MODEM);
  }
};

// What the dialog shows after a probe.
struct Shown {
  std::string status;
  bool statusIsError;
  std::string switchCaption;
  bool switchEnabled;
  bool operator==(const Shown& o) const {
    return status == o.status && statusIsError == o.statusIsError &&
           switchCaption == o.switchCaption && switchEnabled == o.switchEnabled;
  }
};

std::ostream& operator<<(std::ostream& out, const Shown& s) {
  return out << ::testing::PrintToString(s.status) << (s.statusIsError ? " (error) " : " ")
             << s.switchCaption << (s.switchEnabled ? "" : " (disabled)");
}

Shown ProbeShows(DialogRun& run, SimUnlockDialog& dialog, const std::string& port) {
  run.Probe(port);
  return {run.Text(IDC_STATUS), dialog.statusIsError, run.Text(IDC_SWITCH), run.Enabled(IDC_SWITCH)};
}

TEST(DialogThroughModemManager, DiscoveryPicksModemManagersModemAtOnce) {
  // The first modem ModemManager lists, by its object path's number.
  std::vector<std::string> paths = ModemPaths();
  ASSERT_FALSE(paths.empty());
  std::sort(paths.begin(), paths.end(), [](const std::string& a, const std::string& b) {
    return a.size() != b.size() ? a.size() < b.size() : a < b;
  });
  const std::string keys = RunProgram({"/usr/bin/mmcli", "-m", paths.front(), "-K"}, {}).out;
  MmModem first{paths.front(), keys};
  const std::string tty = first.Value("modem.generic.primary-port");
  ASSERT_EQ(tty.rfind("tty", 0), 0u) << tty;

  DialogRun run;
  const auto started = std::chrono::steady_clock::now();
  run.Show([&](SimUnlockDialog&) { EXPECT_EQ(run.Text(IDC_PORT), "COM" + tty.substr(3)); });
  // The scan over twenty ports would take seconds per silent port.
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
}

struct DialogStateCase {
  const char* what;
  int tty;
  Shown shown;
};

const DialogStateCase kDialogStateCases[] = {
    {"WaitsForItsPin", 20, {texts::kPinRequired, false, texts::kSwitchOff, true}},
    {"WaitsForItsPuk", 11, {texts::kPukRequired, true, texts::kSwitchUnavailable, false}},
    {"Unlocked", 12, {texts::kUnlocked, false, texts::kSwitchOff, true}},
    {"PinRequestOff", 14, {texts::kPinRequestOff, true, texts::kSwitchOn, true}},
    {"NoSim", 19, {texts::kNoModem, true, texts::kSwitchUnavailable, false}},
};

TEST(DialogThroughModemManager, ProbeShowsTheSimStateModemManagerReports) {
  DialogRun run;
  run.Show([&](SimUnlockDialog& dialog) {
    for (const auto& c : kDialogStateCases) {
      EXPECT_EQ(ProbeShows(run, dialog, Com(c.tty)), c.shown) << c.what;
    }
  });
  EXPECT_TRUE(run.Tones().empty());
}

struct DialogCommandCase {
  const char* what;
  int tty;
  const char* pin;
  int button;
  const char* status;
  const char* switchAfter;
  Signal signal;
  // What ModemManager must report afterwards.
  std::function<bool(const MmModem&)> modemManagerAfter;
};

bool Unlocked(const MmModem& m) {
  return m.Value("modem.generic.unlock-required") == "--" &&
         m.Value("modem.generic.state") != "locked";
}
bool StillWaitsWithATryLess(const MmModem& m) {
  return m.Value("modem.generic.unlock-required") == "sim-pin" && m.Has("sim-pin (2)");
}
bool PinRequestOn(const MmModem& m) {
  return m.Has(": sim\n");
}
bool PinRequestOff(const MmModem& m) {
  return !m.Has(": sim\n") && m.Has("modem.3gpp.enabled-locks");
}

const DialogCommandCase kDialogCommandCases[] = {
    {"SendRightPin", 15, "1234", IDC_SEND_PIN, texts::kPinAccepted, texts::kSwitchOff,
     Signal::Success, Unlocked},
    {"SendWrongPin", 16, "0000", IDC_SEND_PIN, texts::kWrongPin, texts::kSwitchOff,
     Signal::Failure, StillWaitsWithATryLess},
    {"SwitchPinRequestOff", 17, "1234", IDC_SWITCH, texts::kLockSwitchedOff, texts::kSwitchOn,
     Signal::None, PinRequestOff},
    // The serial way's stick unlocks the SIM as it switches the request off.
    {"SwitchPinRequestOffWhileWaitingForThePin", 21, "1234", IDC_SWITCH, texts::kLockSwitchedOff,
     texts::kSwitchOn, Signal::None,
     [](const MmModem& m) { return Unlocked(m) && PinRequestOff(m); }},
    {"SwitchPinRequestOn", 18, "1234", IDC_SWITCH, texts::kLockSwitchedOn, texts::kSwitchOff,
     Signal::None, PinRequestOn},
};

void PrintTo(const DialogCommandCase& c, std::ostream* out) {
  *out << c.what;
}

class DialogCommand : public ::testing::TestWithParam<DialogCommandCase> {};

TEST_P(DialogCommand, OutcomeTonesAndModemManagersStateAfterwards) {
  const DialogCommandCase& c = GetParam();
  DialogRun run;
  run.Show([&](SimUnlockDialog&) {
    run.Probe(Com(c.tty));
    run.TypeInto(IDC_PIN, c.pin);
    run.Click(c.button);
    EXPECT_EQ(run.Text(IDC_STATUS), c.status);
    EXPECT_EQ(run.Text(IDC_SWITCH), c.switchAfter);
  });
  ExpectSignal(run.Tones(), c.signal);
  MmModem modem;
  EXPECT_TRUE(Eventually([&] {
    modem = ModemManagerSays(c.tty);
    return c.modemManagerAfter(modem);
  })) << modem.keys;
}

INSTANTIATE_TEST_SUITE_P(Cases, DialogCommand, ::testing::ValuesIn(kDialogCommandCases),
                         [](const auto& info) { return std::string(info.param.what); });

// --- Refused by polkit: a refused port, and nothing changes.

TEST(PolkitRefusing, ConsoleAndDialogTellARefusedPort) {
  PolkitRefusing refusing;
  const ConsoleRun console = RunConsole(Com(13), "1234");
  EXPECT_EQ(console.result.exitCode, 4) << console.result.err;
  ExpectSignal(console.tones, Signal::Failure);

  DialogRun run;
  run.Show([&](SimUnlockDialog&) {
    run.Probe(Com(13));
    EXPECT_EQ(run.Text(IDC_STATUS), texts::kPinRequired);  // reading needs no permission
    run.TypeInto(IDC_PIN, "1234");
    run.Click(IDC_SEND_PIN);
    EXPECT_EQ(run.Text(IDC_STATUS), texts::kPortBusy);
  });
  ExpectSignal(run.Tones(), Signal::None);
  const MmModem modem = ModemManagerSays(13);
  EXPECT_EQ(modem.Value("modem.generic.unlock-required"), "sim-pin");
  EXPECT_TRUE(modem.Has("sim-pin (3)")) << modem.keys;
}

// --- A stalled ModemManager or polkit: never bypassed, never waited on past
// the deadline, and a PIN it took is not "no answer".

pid_t PidFrom(const char* variable) {
  const char* value = std::getenv(variable);
  return value ? static_cast<pid_t>(std::atol(value)) : 0;
}

// Stops a process for as long as it lives; continues it at the end.
class Stopped {
 public:
  explicit Stopped(pid_t pid) : pid_(pid) { EXPECT_EQ(pid > 0 && kill(pid, SIGSTOP) == 0, true); }
  ~Stopped() { kill(pid_, SIGCONT); }

 private:
  pid_t pid_;
};

TEST(ModemManagerStalled, WaitEndsInTimeAndNothingReachesTheSim) {
  const std::string before = BytesInOf(26);
  ProcessResult run;
  {
    Stopped frozen(PidFrom("TESSIVO_MM_PID"));
    run = RunProgram({TESSIVO_BIN, "--wait", "5", Com(26), "1234"}, {}, 60000);
  }
  EXPECT_EQ(run.exitCode, 7) << run.err;
  EXPECT_NE(run.err.find("Modem antwortet nicht"), std::string::npos) << run.err;
  EXPECT_LT(run.elapsedMs, 5000 + 3000) << "--wait 5 with ModemManager frozen";
  std::cout << "--wait 5 with ModemManager frozen took " << run.elapsedMs << " ms\n";
  // Nothing queued behind ModemManager's back reaches the SIM once it goes on.
  MmModem modem;
  EXPECT_TRUE(Eventually([&] {
    modem = ModemManagerSays(26);
    return modem.Value("modem.generic.unlock-required") == "sim-pin";
  })) << modem.keys;
  std::this_thread::sleep_for(std::chrono::seconds(2));
  const std::string sent = BytesInOf(26).substr(before.size());
  EXPECT_EQ(PinCommandsIn(sent), 0u) << sent;
  EXPECT_TRUE(modem.Has("sim-pin (3)")) << modem.keys;
}

TEST(PolkitStalled, APinHeldPastTheCallsBoundIsStatusTen) {
  ProcessResult run;
  {
    Stopped frozen(PidFrom("TESSIVO_POLKIT_PID"));
    run = RunProgram({TESSIVO_BIN, Com(27), "1234"}, {}, 120000);
  }
  EXPECT_EQ(run.exitCode, 10) << run.err;
  std::cout << "PIN call given up after " << run.elapsedMs << " ms\n";
  // ModemManager had the PIN and passes it on once polkit answers: exactly
  // why 10 must never be retried.
  MmModem modem;
  EXPECT_TRUE(Eventually([&] {
    modem = ModemManagerSays(27);
    return modem.Value("modem.generic.unlock-required") == "--";
  }, 60)) << modem.keys;
}

// --- The SIM's forms through ModemManager: the lines and statuses of the
// serial way, and ModemManager knows the SIM's new state afterwards.

TEST(SimFormsThroughModemManager, StatusPukAndChangePin) {
  const struct {
    std::vector<std::string> args;
    int exitCode;
    const char* text;  // in standard output (--status) or error
    int tty;
    const char* lockAfter;
  } rows[] = {
      {{"--status", Com(28)}, 0, "Port: COM28 (ModemManager)\nModem: ", 28, "sim-puk"},
      {{"--status", Com(30)}, 0, "SIM: Modem ist freigegeben\n", 30, "--"},
      {{"--puk", Com(29), "87654321", "4321"}, 1, "tessivo: PUK abgelehnt, noch ", 29, "sim-puk"},
      {{"--puk", Com(28), "12345678", "4321"}, 0, "tessivo: PUK angenommen, neue PIN gesetzt", 28,
       "--"},
      {{"--change-pin", Com(30), "1234", "5678"}, 0, "tessivo: PIN ge\xC3\xA4ndert (Status 0)", 30,
       "--"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.args.front() + " " + row.args[1]);
    std::vector<std::string> argv = {TESSIVO_BIN};
    argv.insert(argv.end(), row.args.begin(), row.args.end());
    const ProcessResult run = RunProgram(argv, {}, 90000);
    EXPECT_EQ(run.exitCode, row.exitCode) << run.out << run.err;
    EXPECT_NE((run.out + run.err).find(row.text), std::string::npos) << run.out << run.err;
    MmModem modem;
    EXPECT_TRUE(Eventually([&] {
      modem = ModemManagerSays(row.tty);
      return modem.Value("modem.generic.unlock-required") == row.lockAfter;
    })) << modem.keys;
  }
}

// --- The same SIM states through both ways show the same.

struct EquivalenceCase {
  const char* what;
  std::vector<std::string> simOptions;  // for the serial way's modem
  int managedTty;                       // a managed modem in the same state
};

const EquivalenceCase kEquivalenceCases[] = {
    {"WaitsForItsPin", {"--state", "pin"}, 20},
    {"WaitsForItsPuk", {"--state", "puk"}, 11},
    {"Unlocked", {"--state", "ready"}, 12},
    {"PinRequestOff", {"--state", "ready", "--lock", "off"}, 14},
    {"NoSim", {"--state", "nosim"}, 19},
};

TEST(BothWays, SameSimStateShowsTheSameTextsSwitchAndExitStatus) {
  TempDir dir;
  // The serial way's modems join the managed ones' port folder as COM1...,
  // ptys ModemManager was never told of.
  std::vector<std::unique_ptr<VirtualModem>> sims;
  for (std::size_t i = 0; i < std::size(kEquivalenceCases); ++i) {
    const std::string link = Work("ports/com" + std::to_string(i + 1));
    sims.push_back(std::make_unique<VirtualModem>(link, kEquivalenceCases[i].simOptions,
                                                  dir / ("t" + std::to_string(i))));
    ASSERT_TRUE(sims.back()->running());
  }
  DialogRun run;
  run.Show([&](SimUnlockDialog& dialog) {
    for (std::size_t i = 0; i < std::size(kEquivalenceCases); ++i) {
      const auto& c = kEquivalenceCases[i];
      const Shown serial = ProbeShows(run, dialog, "COM" + std::to_string(i + 1));
      EXPECT_FALSE(sims[i]->BytesIn().empty()) << c.what << ": the serial way was not taken";
      EXPECT_EQ(ProbeShows(run, dialog, Com(c.managedTty)), serial) << c.what;
    }
  });
  for (std::size_t i = 0; i < std::size(kEquivalenceCases); ++i) {
    const auto& c = kEquivalenceCases[i];
    const ConsoleRun serial = RunConsole("COM" + std::to_string(i + 1), "0000");
    const ConsoleRun managed = RunConsole(Com(c.managedTty), "0000");
    EXPECT_EQ(managed.result.exitCode, serial.result.exitCode) << c.what;
    EXPECT_EQ(managed.tones.size(), serial.tones.size()) << c.what;
  }
}

}  // namespace
}  // namespace tessivo::testing

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  static_cast<tessivo::PosixPlatform&>(tessivo::HostPlatform())
      .SetManagingService(&tessivo::TheModemManagerService());
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
