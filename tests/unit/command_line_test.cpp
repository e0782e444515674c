#include "app/command_line.h"

#include <gtest/gtest.h>

namespace tessivo {
namespace {

struct Case {
  const char* line;
  bool console;
  const char* port;
  const char* pin;
};

const Case kCases[] = {
    {"Tessivo COM1 1234", true, "com1", "1234"},
    {"C:\\Tools\\Tessivo.exe Com1 1234", true, "com1", "1234"},
    {"\"C:\\Program Files\\Tessivo\\Tessivo.exe\" COM1 1234", true, "com1", "1234"},
    {"Tessivo    COM1 1234", true, "com1", "1234"},     // spaces before the port are harmless
    {"Tessivo COM1 1234   ", true, "com1", "1234"},     // and so are blanks after the PIN
    {"Tessivo COM1 1234\t\r\n", true, "com1", "1234"},  // trailing white space of any kind
    {"Tessivo COM12 1234", true, "com12", "1234"},
    {"Tessivo COM1 ABCD", true, "com1", "abcd"},  // letters pass; the modem gets capitals
    {"Tessivo COM1 12;4", true, "com1", "12;4"},  // the form test does not look inside
    {"Tessivo COMX 1234", true, "comx", "1234"},
    {"a b COM1 1234", true, "com1", "1234"},
    {"Tessivo", false, "", ""},
    {"Tessivo COM1", false, "", ""},
    {"Tessivo COM1 123", false, "", ""},
    {"Tessivo COM1 12345", false, "", ""},
    {"Tessivo 1234 COM1", false, "", ""},    // swapped order
    {"Tessivo COM123 1234", false, "", ""},  // three digits
    {"Tessivo COM1  1234", false, "", ""},   // two spaces: the port token is empty
    {"Tessivo  COM1  1234", false, "", ""},  // the dialog's own usage example
    {"Tessivo LPT1 1234", false, "", ""},
    {"Tessivo COM1\t1234", false, "", ""},  // a tab does not separate words
    {" COM1 1234", false, "", ""},          // the port's space is the first character
    {"", false, "", ""},
};

TEST(ConsoleCommandLine, Table) {
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.line);
    const auto args = ParseConsoleCommandLine(c.line);
    ASSERT_EQ(args.has_value(), c.console);
    if (args) {
      EXPECT_EQ(args->port, c.port);
      EXPECT_EQ(args->pin, c.pin);
    }
  }
}

// Linux: the argument vector decides, including the starts that used to
// end silently with status 0 without a display (they are Dialog now, and the
// dialog path says where none can be shown).
TEST(StartFromArguments, Table) {
  using K = StartKind;
  struct ArgCase {
    std::vector<std::string> args;  // after the program name
    StartKind kind;
    const char* port;
    const char* pin;
    bool pinFromInput;
  } cases[] = {
      {{"COM1", "1234"}, K::Console, "com1", "1234", false},
      {{"Com12", "AbCd"}, K::Console, "com12", "abcd", false},
      {{"COMX", "1234"}, K::Console, "comx", "1234", false},  // opens nothing: status 3
      {{" COM1 ", "1234 "}, K::Console, "com1", "1234", false},
      {{"COM1", "12;4"}, K::Console, "com1", "12;4", false},  // refused later: status 6
      {{"COM1", "-"}, K::Console, "com1", "", true},
      {{"/dev/ttyUSB2", "1234"}, K::Console, "/dev/ttyUSB2", "1234", false},
      {{"/dev/serial/by-id/usb-ZTE_MF190-if02-port0", "1234"},
       K::Console,
       "/dev/serial/by-id/usb-ZTE_MF190-if02-port0",
       "1234",
       false},
      {{"/dev/ttyUSB2", "-"}, K::Console, "/dev/ttyUSB2", "", true},
      {{"/dev/My Modem", "ab12"}, K::Console, "/dev/My Modem", "ab12", false},
      {{}, K::Dialog, "", "", false},
      {{"--help"}, K::Help, "", "", false},
      {{"-h"}, K::Help, "", "", false},
      {{"--version"}, K::Version, "", "", false},
      {{"COM1"}, K::Dialog, "", "", false},
      {{"COM1", "123"}, K::Dialog, "", "", false},
      {{"COM1", "12345"}, K::Dialog, "", "", false},
      {{"COM100", "1234"}, K::Dialog, "", "", false},
      {{"1234", "COM1"}, K::Dialog, "", "", false},
      {{"/dev/ttyUSB2", "12345"}, K::Dialog, "", "", false},
      {{"/dev/ttyUSB2"}, K::Dialog, "", "", false},
      {{"ttyUSB2", "1234"}, K::Dialog, "", "", false},  // relative paths are not ports
      {{"COM1", "--"}, K::Dialog, "", "", false},
      {{"COM1", ""}, K::Dialog, "", "", false},
      {{"COM1 1234"}, K::Dialog, "", "", false},  // one argument is one word
      {{"--", "COM1", "1234"}, K::Console, "com1", "1234", false},
      {{"--", "/dev/-odd", "-"}, K::Console, "/dev/-odd", "", true},
      {{"-"}, K::Dialog, "", "", false},  // "-" is no option
      {{"--"}, K::Dialog, "", "", false},
      {{"--", "--help"}, K::Dialog, "", "", false},  // after "--", a port alone
      {{"a", "b"}, K::Dialog, "", "", false},
  };
  for (const auto& c : cases) {
    std::vector<std::string> argv = {"tessivo"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    std::string trace;
    for (const auto& a : argv) trace += "[" + a + "]";
    SCOPED_TRACE(trace);
    const StartRequest request = DecideStartFromArguments(argv);
    ASSERT_EQ(request.kind, c.kind);
    EXPECT_EQ(request.port, c.port);
    EXPECT_EQ(request.pin, c.pin);
    EXPECT_EQ(request.pinFromInput, c.pinFromInput);
    // The PIN argument is hidden from the process list; "-" holds none.
    const bool hides = c.kind == K::Console && !c.pinFromInput;
    EXPECT_EQ(request.pinArgument, hides ? argv.size() - 1 : 0);
  }
}

// The console form with options: the seconds, and --last-try.
TEST(StartFromArguments, WaitAndLastTry) {
  struct WaitCase {
    std::vector<std::string> args;
    std::optional<unsigned> wait;
    bool lastTry;
    std::size_t pinArgument;
  } cases[] = {
      {{"--wait", "60", "COM1", "1234"}, 60, false, 4},
      {{"--wait", "1", "COM1", "1234"}, 1, false, 4},
      {{"--wait", "3600", "COM1", "1234"}, 3600, false, 4},
      {{"--wait", "0060", "COM1", "1234"}, 60, false, 4},
      {{"--wait", "120", "--last-try", "/dev/ttyUSB2", "-"}, 120, true, 0},
      {{"--last-try", "--wait", "120", "COM1", "1234"}, 120, true, 5},
      {{"--wait", "5", "--", "COM1", "1234"}, 5, false, 5},
      {{"COM1", "1234"}, std::nullopt, false, 2},
  };
  for (const auto& c : cases) {
    std::vector<std::string> argv = {"tessivo"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    SCOPED_TRACE(::testing::PrintToString(argv));
    const StartRequest request = DecideStartFromArguments(argv);
    ASSERT_EQ(request.kind, StartKind::Console);
    EXPECT_EQ(request.waitSeconds, c.wait);
    EXPECT_EQ(request.lastTry, c.lastTry);
    EXPECT_EQ(request.pinArgument, c.pinArgument);
    EXPECT_EQ(request.firstHiddenArgument, argv.size() - 1);  // the PIN, whatever its place
  }
}

// Every refused line: the fault and the argument named; nothing of the
// console form is filled in, so no caller can send a PIN from it.
TEST(StartFromArguments, RefusedLines) {
  using P = UsageProblem;
  struct RefusedCase {
    std::vector<std::string> args;
    UsageProblem problem;
    std::size_t offending;  // index in argv, program name = 0
  } cases[] = {
      {{"--dry-run", "COM1", "9999"}, P::UnknownOption, 1},
      {{"--wiat", "60", "COM1", "1234"}, P::UnknownOption, 1},
      {{"-v", "COM1", "1234"}, P::UnknownOption, 1},
      {{"--HELP"}, P::UnknownOption, 1},
      {{"--wait=60", "COM1", "1234"}, P::UnknownOption, 1},
      {{"COM1", "-v", "1234"}, P::UnknownOption, 2},  // between
      {{"COM1", "1234", "-v"}, P::UnknownOption, 3},  // after
      {{"COM1", "1234", "--wait", "5"}, P::OptionAfterPort, 3},
      {{"COM1", "--last-try", "1234"}, P::OptionAfterPort, 2},
      {{"x", "COM1", "1234"}, P::TooManyArguments, 3},
      {{"COM1", "1234", "5678"}, P::TooManyArguments, 3},
      {{"--", "COM1", "1234", "--help"}, P::TooManyArguments, 4},
      {{"--help", "COM1", "1234"}, P::NotAlone, 1},
      {{"--version", "COM1", "1234"}, P::NotAlone, 1},
      {{"COM1", "1234", "--help"}, P::NotAlone, 3},
      {{"--help", "--version"}, P::NotAlone, 1},
      {{"-h", "-h"}, P::NotAlone, 1},
      {{"--wait", "5", "--wait", "6", "COM1", "1234"}, P::Repeated, 3},
      {{"--wait", "5", "--last-try", "--last-try", "COM1", "1234"}, P::Repeated, 4},
      {{"--wait"}, P::MissingSeconds, 1},
      {{"--wait", "0", "COM1", "1234"}, P::BadSeconds, 2},
      {{"--wait", "3601", "COM1", "1234"}, P::BadSeconds, 2},
      {{"--wait", "99999999999", "COM1", "1234"}, P::BadSeconds, 2},
      {{"--wait", "-5", "COM1", "1234"}, P::BadSeconds, 2},
      {{"--wait", "+5", "COM1", "1234"}, P::BadSeconds, 2},
      {{"--wait", " 5", "COM1", "1234"}, P::BadSeconds, 2},
      {{"--wait", "5s", "COM1", "1234"}, P::BadSeconds, 2},
      {{"--wait", "", "COM1", "1234"}, P::BadSeconds, 2},
      {{"--wait", "COM1", "1234"}, P::BadSeconds, 2},  // the seconds forgotten
      {{"--last-try", "COM1", "1234"}, P::LastTryWithoutWait, 1},
      {{"--wait", "60"}, P::PortAndPinMissing, 0},
      {{"--wait", "60", "COM1"}, P::PinMissing, 0},
      {{"--wait", "60", "LPT1", "1234"}, P::NotAPort, 3},
      // Ports no machine has are told at once, not waited for.
      {{"--wait", "60", "COM0", "1234"}, P::NotAPort, 3},
      {{"--wait", "60", "COM05", "1234"}, P::NotAPort, 3},
      {{"--wait", "60", "COMx", "1234"}, P::NotAPort, 3},
      {{"--status", "COM0"}, P::NotAPort, 2},
      {{"--wait", "60", "COM1", "12345"}, P::NotAPin, 4},
      {{"--status", "--puk", "COM1", "12345678", "1234"}, P::FormsTogether, 2},
      {{"--puk", "--puk", "COM1", "12345678", "1234"}, P::Repeated, 2},
      {{"--last-try", "--status", "COM1"}, P::LastTryWithStatus, 1},
      {{"--status", "COM1", "--wait", "5"}, P::OptionAfterPort, 3},
      {{"--puk", "COM1", "12345678", "--last-try", "1234"}, P::OptionAfterPort, 4},
      {{"--status", "COM1", "1234"}, P::TooManyArguments, 3},
      {{"--puk", "COM1", "12345678", "1234", "x"}, P::TooManyArguments, 5},
      {{"--status"}, P::PortMissing, 0},
      {{"--puk", "COM1"}, P::PukMissing, 0},
      {{"--puk", "COM1", "12345678"}, P::NewPinMissing, 0},
      {{"--change-pin", "COM1"}, P::PinMissing, 0},
      {{"--change-pin", "COM1", "1234"}, P::NewPinMissing, 0},
      {{"--status", "LPT1"}, P::NotAPort, 2},
  };
  for (const auto& c : cases) {
    std::vector<std::string> argv = {"tessivo"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    SCOPED_TRACE(::testing::PrintToString(argv));
    const StartRequest request = DecideStartFromArguments(argv);
    ASSERT_EQ(request.kind, StartKind::UsageError);
    EXPECT_EQ(request.problem, c.problem);
    EXPECT_EQ(request.offendingArgument, c.offending);
    EXPECT_EQ(request.port, "");
    EXPECT_EQ(request.pin, "");
    EXPECT_FALSE(request.pinFromInput);
    EXPECT_EQ(request.pinArgument, 0u);
  }
}

// Whatever the decision, the arguments after the port leave the process
// list; the seconds of --wait are not taken for the port.
TEST(StartFromArguments, ArgumentsHiddenFromTheProcessList) {
  struct HideCase {
    std::vector<std::string> args;
    std::size_t firstHidden;  // 0: nothing
  } cases[] = {
      {{"COM1", "1234"}, 2},
      {{"COM1", "12345"}, 2},       // the dialog
      {{"COM1", "1234", "-v"}, 2},  // refused
      {{"-v", "COM1", "1234"}, 3},  // refused
      {{"--wait", "60", "COM1", "1234"}, 4},
      {{"--wait", "COM1", "1234"}, 3},  // the seconds forgotten: COM1 is still the port
      {{"--wiat", "60", "COM1", "1234"}, 3},
      {{"--", "-x", "1234"}, 3},
      {{"COM1", "1234", "--"}, 2},  // a late "--" ends nothing and harms nothing
      {{"COM1"}, 0},
      {{"--help"}, 0},
      {{}, 0},
  };
  for (const auto& c : cases) {
    std::vector<std::string> argv = {"tessivo"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    SCOPED_TRACE(::testing::PrintToString(argv));
    EXPECT_EQ(DecideStartFromArguments(argv).firstHiddenArgument, c.firstHidden);
  }
}

// The request of the forms with an option, in one line: kind, port, the
// secrets ("-" from standard input), bad, wait, last try, first hidden.
std::string Shown(const StartRequest& r) {
  const char* kinds[] = {"console", "dialog", "help", "version", "usage", "status", "puk", "change"};
  std::string shown = std::string(kinds[static_cast<int>(r.kind)]) + " " + r.port;
  const auto secret = [&](const char* name, const std::string& value, bool fromInput) {
    if (fromInput || !value.empty()) shown += std::string(" ") + name + (fromInput ? "-" : value);
  };
  secret("pin=", r.pin, r.pinFromInput);
  secret("puk=", r.puk, r.pukFromInput);
  secret("new=", r.newPin, r.newPinFromInput);
  if (r.badSecret) shown += " bad";
  if (r.waitSeconds) shown += " wait=" + std::to_string(*r.waitSeconds);
  if (r.lastTry) shown += " last";
  if (r.firstHiddenArgument) shown += " hide=" + std::to_string(r.firstHiddenArgument);
  return shown;
}

// --status, --puk and --change-pin: a secret of the wrong form is decided as
// a start of its form that sends nothing (status 6), not as a mistyped line.
// clang-format off
TEST(StartFromArguments, SimForms) {
  const struct { std::vector<std::string> args; const char* shown; } cases[] = {
      {{"--status", "COM1"}, "status com1"},
      {{"--wait", "60", "--status", "/dev/ttyUSB2"}, "status /dev/ttyUSB2 wait=60"},
      {{"--puk", "COM1", "12345678", "4321"}, "puk com1 puk=12345678 new=4321 hide=3"},
      {{"--last-try", "--puk", "COM1", " 12345678 ", "4321"}, "puk com1 puk=12345678 new=4321 last hide=4"},
      {{"--puk", "--wait", "5", "--", "/dev/x", "-", "-"}, "puk /dev/x puk=- new=- wait=5 hide=6"},
      {{"--puk", "COM1", "1234567", "4321"}, "puk com1 bad hide=3"},
      {{"--puk", "COM1", "1234567a", "-"}, "puk com1 bad hide=3"},
      {{"--change-pin", "COM1", "AbC1", "4321"}, "change com1 pin=abc1 new=4321 hide=3"},
      {{"--change-pin", "--last-try", "--wait", "9", "COM1", "-", "-"}, "change com1 pin=- new=- wait=9 last hide=6"},
      {{"--change-pin", "COM1", "12;4", "4321"}, "change com1 bad hide=3"},
      {{"--change-pin", "COM1", "1234", "43a1"}, "change com1 bad hide=3"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> argv = {"tessivo"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    EXPECT_EQ(Shown(DecideStartFromArguments(argv)), c.shown) << ::testing::PrintToString(argv);
  }
}
// clang-format on

TEST(StartFromCommandLine, OnlyConsoleOrDialog) {
  EXPECT_EQ(DecideStartFromCommandLine("Tessivo COM1 1234").port, "com1");
  for (const char* line :
       {"Tessivo --help", "Tessivo --version", "Tessivo /dev/ttyUSB2 1234", "Tessivo COM1 -"}) {
    EXPECT_EQ(DecideStartFromCommandLine(line).kind, StartKind::Dialog) << line;
  }
}

// Windows reads --wait and --last-try only right before the port; a
// mistyped one there gives the dialog instead of a PIN sent at once.
TEST(StartFromCommandLine, WaitAndLastTryBeforeThePort) {
  const struct {
    const char* line;
    StartKind kind;
    std::optional<unsigned> wait;
    bool lastTry;
  } cases[] = {
      {"Tessivo --wait 60 COM5 1234", StartKind::Console, 60, false},
      {"Tessivo --WAIT 60 --Last-Try COM5 1234", StartKind::Console, 60, true},
      {"Tessivo --last-try --wait 60 COM5 1234", StartKind::Console, 60, true},
      {"\"C:\\Program Files\\Tessivo\\Tessivo.exe\" --wait 120 COM5 1234", StartKind::Console, 120,
       false},
      {"Tessivo  --wait  60  COM5 1234", StartKind::Console, 60, false},
      {"Tessivo --wait 60 x COM5 1234", StartKind::Console, std::nullopt,
       false},  // not right before
      {"Tessivo 60 COM5 1234", StartKind::Console, std::nullopt, false},
      {"Tessivo --wait 0 COM5 1234", StartKind::Dialog, std::nullopt, false},
      {"Tessivo --wait 3601 COM5 1234", StartKind::Dialog, std::nullopt, false},
      {"Tessivo --wait abc COM5 1234", StartKind::Dialog, std::nullopt, false},
      {"Tessivo --wait COM5 1234", StartKind::Dialog, std::nullopt, false},
      {"Tessivo --last-try COM5 1234", StartKind::Dialog, std::nullopt, false},
      {"Tessivo --wait 5 --wait 6 COM5 1234", StartKind::Dialog, std::nullopt, false},
      {"Tessivo --wait 60 --last-try --last-try COM5 1234", StartKind::Dialog, std::nullopt, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    const StartRequest request = DecideStartFromCommandLine(c.line);
    ASSERT_EQ(request.kind, c.kind);
    EXPECT_EQ(request.waitSeconds, c.wait);
    EXPECT_EQ(request.lastTry, c.lastTry);
    EXPECT_EQ(request.pin, c.kind == StartKind::Console ? "1234" : "");
  }
}

// Windows reads the three forms only right before the port, the secrets as
// the last words and never from standard input; a form with the wrong words
// around it opens the dialog.
// clang-format off
TEST(StartFromCommandLine, SimForms) {
  const struct { const char* line; const char* shown; } cases[] = {
      {"Tessivo --status COM5", "status com5"},
      {"Tessivo --wait 30 --STATUS COM5  ", "status com5 wait=30"},
      {"Tessivo --puk COM5 12345678 4321", "puk com5 puk=12345678 new=4321"},
      {"\"C:\\Tools\\Tessivo.exe\" --last-try --puk --wait 9 COM5 12345678 4321",
       "puk com5 puk=12345678 new=4321 wait=9 last"},
      {"Tessivo --puk COM5 - -", "puk com5 bad"},
      {"Tessivo --puk COM5 COM6 1234", "puk com5 bad"},  // never a PIN sent to COM6
      {"Tessivo --change-pin COM5 1234 4321", "change com5 pin=1234 new=4321"},
      {"Tessivo --status COM5 1234", "dialog "}, {"Tessivo --puk COM5 12345678", "dialog "},
      {"Tessivo --last-try --status COM5", "dialog "}, {"Tessivo COM5 --status", "dialog "},
      {"Tessivo --status --puk COM5 12345678 4321", "dialog "},
      {"Tessivo --puk COM5  12345678 4321", "dialog "},  // two spaces: no word between
  };
  for (const auto& c : cases) EXPECT_EQ(Shown(DecideStartFromCommandLine(c.line)), c.shown) << c.line;
}
// clang-format on

TEST(PinFromInput, TrimmedAndLowerCased) {
  EXPECT_EQ(PinFromInputLine(" AbCd\r"), "abcd");
  EXPECT_EQ(PinFromInputLine("12 4"), "12 4");
  EXPECT_EQ(PinFromInputLine(""), "");
  EXPECT_EQ(PinFromInputLine("\xEF\xBB\xBF" "1234\r"), "1234");  // saved "with signature"
}

}  // namespace
}  // namespace tessivo
