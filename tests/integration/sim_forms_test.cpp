// The real `tessivo --status`, `--puk` and `--change-pin` against the virtual
// modem on a real pseudo-terminal: what they print, their exit status, and
// the password commands on the wire (and in the card's own record).
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "tests/support/process.h"
#include "tests/support/tone_capture.h"

namespace tessivo::testing {
namespace {

struct FormRun {
  ProcessResult result;
  std::string wire;
  std::string record;  // the card's record of the password commands
  std::size_t tones = 0;
  std::vector<std::string> commandLines;  // seen while the run waited
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs tessivo with `args` ("@PORT@" the modem's link) against a modem with
// `options`.
FormRun RunAgainstModem(const std::vector<std::string>& options, std::vector<std::string> args,
                    const std::string& input = "") {
  TempDir dir;
  std::vector<std::string> modemOptions = options;
  modemOptions.insert(modemOptions.end(), {"--record", dir / "record"});
  VirtualModem modem(dir / "port", modemOptions, dir / "transcript");
  EXPECT_TRUE(modem.running());
  ToneCapture capture(dir.path());
  std::vector<std::string> argv = {TESSIVO_BIN};
  for (const auto& arg : args) argv.push_back(arg == "@PORT@" ? dir / "port" : arg);
  FormRun run;
  ProgramIo io;
  io.input = input;
  io.whileRunning = [&](pid_t pid) {
    // Once the modem has heard from it, the run is past reading its arguments.
    if (modem.BytesIn().empty()) return;
    run.commandLines.push_back(ReadAll("/proc/" + std::to_string(pid) + "/cmdline"));
  };
  run.result = RunProgram(argv, capture.Environment(), io);
  run.wire = modem.BytesIn();
  run.record = ReadAll(dir / "record");
  run.tones = capture.Tones().size();
  return run;
}

int Count(const std::string& text, const std::string& part) {
  int n = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

bool NoPasswordOnTheWire(const std::string& wire) {
  return Count(wire, "AT+CPIN=") == 0 && Count(wire, "CPWD") == 0 &&
         Count(wire, "\"SC\",0") == 0 && Count(wire, "\"SC\",1") == 0;
}

struct StatusCase {
  std::string dialect;
  std::vector<std::string> state;
  std::string expected;  // the lines after "Port:"
};

std::vector<StatusCase> StatusCases() {
  const std::pair<const char*, const char*> dialects[] = {
      {"3gpp", "tessivo modemsim"}, {"huawei", "huawei e1550"},
      {"zte", "zte corporation mf190"}, {"quectel", "quectel ec25"},
      {"csim", "tessivo modemsim"}, {"none", "tessivo modemsim"}};
  struct State {
    std::vector<std::string> options;
    const char* sim;
    const char* pinTries;
    const char* request;
  };
  const State states[] = {
      {{"--state", "pin"}, "PIN wird erwartet", "3", "an"},
      {{"--state", "puk"}, "PUK wird erwartet, PIN ist gesperrt", "0", "an"},
      {{"--state", "ready"}, "Modem ist freigegeben", "3", "an"},
      {{"--lock", "off"}, "PIN-Abfrage ist abgeschaltet", "3", "aus"},
  };
  std::vector<StatusCase> cases;
  for (const auto& [dialect, modem] : dialects) {
    for (const State& state : states) {
      const bool told = std::string(dialect) != "none";
      cases.push_back({dialect, state.options,
                       std::string("Modem: ") + modem + "\nSIM: " + state.sim +
                           "\nPIN-Versuche: " + (told ? state.pinTries : "unbekannt") +
                           "\nPUK-Versuche: " + (told ? "10" : "unbekannt") +
                           "\nPIN-Abfrage: " + state.request + "\n"});
    }
  }
  return cases;
}

class StatusAgainstVirtualModem : public ::testing::TestWithParam<StatusCase> {};

TEST_P(StatusAgainstVirtualModem, LinesAndNoPassword) {
  const StatusCase& c = GetParam();
  std::vector<std::string> options = {"--tries-dialect", c.dialect};
  options.insert(options.end(), c.state.begin(), c.state.end());
  const FormRun run = RunAgainstModem(options, {"--status", "@PORT@"});
  EXPECT_EQ(run.result.exitCode, 0) << run.result.err;
  EXPECT_EQ(run.result.err, "");
  const auto body = run.result.out.find("\nModem:");
  ASSERT_NE(body, std::string::npos) << run.result.out;
  const std::string& out = run.result.out;
  EXPECT_EQ(out.substr(0, 7) + out.substr(body - 10, 11), "Port: / (seriell)\n") << out;
  EXPECT_EQ(run.result.out.substr(body + 1), c.expected);
  EXPECT_TRUE(NoPasswordOnTheWire(run.wire)) << run.wire;
  EXPECT_EQ(run.record, "");
  EXPECT_EQ(run.tones, 0u);
}

INSTANTIATE_TEST_SUITE_P(Cases, StatusAgainstVirtualModem, ::testing::ValuesIn(StatusCases()),
                         [](const auto& info) {
                           std::string name = info.param.dialect + "_" + info.param.state[1];
                           return name + "_" + info.param.state[0].substr(2);
                         });

struct FormCase {
  const char* what;
  std::vector<std::string> modem;
  std::vector<std::string> args;  // after the program name
  const char* input;              // standard input
  int exitCode;
  const char* report;    // part of the one line on stderr
  int passwords;         // password commands on the wire
  const char* password;  // the one expected there ("" for none)
};

const char* const kPuk = "AT+CPIN=\"12345678\",\"4321\"\r";
const char* const kChange = "AT+CPWD=\"SC\",\"1234\",\"4321\"\r";

// clang-format off
const FormCase kFormCases[] = {
    {"PUK right", {"--state", "puk"}, {"--puk", "@PORT@", "12345678", "4321"}, "",
     0, "PUK angenommen, neue PIN gesetzt, SIM freigegeben", 1, kPuk},
    {"PUK from standard input", {"--state", "puk"}, {"--puk", "@PORT@", "-", "-"},
     "12345678\n4321\n", 0, "PUK angenommen", 1, kPuk},
    {"PUK wrong", {"--state", "puk", "--puk", "87654321"}, {"--puk", "@PORT@", "12345678", "4321"},
     "", 1, "PUK abgelehnt, noch 9 PUK-Versuche (Status 1)", 1, kPuk},
    {"PUK last try kept", {"--state", "puk", "--puk-tries", "1"},
     {"--puk", "@PORT@", "12345678", "4321"}, "", 9, "nur noch ein PUK-Versuch", 0, ""},
    {"PUK last try sent", {"--state", "puk", "--puk-tries", "1"},
     {"--last-try", "--puk", "@PORT@", "12345678", "4321"}, "", 0, "PUK angenommen", 1, kPuk},
    {"PUK to a SIM waiting for its PIN", {"--state", "pin"},
     {"--puk", "@PORT@", "12345678", "4321"}, "", 1, "wartet auf die PIN", 0, ""},
    {"PUK OK before READY", {"--state", "puk", "--ready-after-puk", "2500"},
     {"--puk", "@PORT@", "12345678", "4321"}, "", 0, "SIM freigegeben", 1, kPuk},
    {"PUK without an answer", {"--state", "puk", "--pin-unanswered"},
     {"--puk", "@PORT@", "12345678", "4321"}, "", 10, "keine Antwort", 1, kPuk},
    {"PUK of seven digits", {"--state", "puk"}, {"--puk", "@PORT@", "-", "4321"},
     "1234567\n", 6, "nicht gesendet", 0, ""},
    {"new PIN right", {"--state", "ready"}, {"--change-pin", "@PORT@", "1234", "4321"}, "",
     0, "PIN ge\xC3\xA4ndert (Status 0)", 1, kChange},
    {"new PIN, old one wrong", {"--state", "ready", "--pin", "1111"},
     {"--change-pin", "@PORT@", "1234", "4321"}, "",
     1, "alte PIN abgelehnt, noch 2 PIN-Versuche", 1, kChange},
    {"new PIN, request off", {"--lock", "off"}, {"--change-pin", "@PORT@", "1234", "4321"}, "",
     1, "PIN-Abfrage ist aus: erst einschalten", 0, ""},
};
// clang-format on

void PrintTo(const FormCase& c, std::ostream* out) {
  *out << c.what;
}

class FormsAgainstVirtualModem : public ::testing::TestWithParam<FormCase> {};

TEST_P(FormsAgainstVirtualModem, LineWireAndProcessList) {
  const FormCase& c = GetParam();
  const FormRun run = RunAgainstModem(c.modem, c.args, c.input);
  EXPECT_EQ(run.result.exitCode, c.exitCode) << run.result.err;
  EXPECT_EQ(run.result.out, "");
  EXPECT_EQ(Count(run.result.err, "\n"), 1) << run.result.err;
  EXPECT_NE(run.result.err.find(c.report), std::string::npos) << run.result.err;
  EXPECT_EQ(Count(run.wire, "AT+CPIN=") + Count(run.wire, "AT+CPWD="), c.passwords) << run.wire;
  if (*c.password) {
    EXPECT_NE(run.wire.find(c.password), std::string::npos) << run.wire;
  }
  EXPECT_EQ(Count(run.record, "\n"), c.passwords) << run.record;
  EXPECT_EQ(run.tones, c.exitCode == 0 ? 1u : 2u);
  // Neither the PUK nor a PIN is in the process list while the run talks
  // to the modem.
  for (const std::string& line : run.commandLines) {
    std::size_t start = 0;
    for (std::size_t end; (end = line.find('\0', start)) != std::string::npos; start = end + 1) {
      const std::string argument = line.substr(start, end - start);
      if (argument.rfind('/', 0) == 0) continue;  // the port, a path
      for (const char* secret : {"12345678", "1234", "4321"}) {
        EXPECT_EQ(argument.find(secret), std::string::npos) << argument;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, FormsAgainstVirtualModem, ::testing::ValuesIn(kFormCases),
                         [](const auto& info) {
                           std::string name;
                           for (const char* p = info.param.what; *p; ++p) {
                             name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                           }
                           return name;
                         });

}  // namespace
}  // namespace tessivo::testing
