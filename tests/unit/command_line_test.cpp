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
      {{"COMX", "1234"}, K::Console, "comx", "1234", false},        // opens nothing: status 3
      {{"-v", "COM1", "1234"}, K::Console, "com1", "1234", false},  // words before: ignored
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
      {{"--help", "--version"}, K::Dialog, "", "", false},
      {{"--HELP"}, K::Dialog, "", "", false},
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

TEST(StartFromCommandLine, OnlyConsoleOrDialog) {
  EXPECT_EQ(DecideStartFromCommandLine("Tessivo COM1 1234").port, "com1");
  for (const char* line :
       {"Tessivo --help", "Tessivo --version", "Tessivo /dev/ttyUSB2 1234", "Tessivo COM1 -"}) {
    EXPECT_EQ(DecideStartFromCommandLine(line).kind, StartKind::Dialog) << line;
  }
}

TEST(PinFromInput, TrimmedAndLowerCased) {
  EXPECT_EQ(PinFromInputLine(" AbCd\r"), "abcd");
  EXPECT_EQ(PinFromInputLine("12 4"), "12 4");
  EXPECT_EQ(PinFromInputLine(""), "");
}

}  // namespace
}  // namespace tessivo
