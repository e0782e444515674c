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

}  // namespace
}  // namespace tessivo
