// Splits one AT command line into its commands, after ITU-T V.250: "AT",
// then basic commands (a letter and an optional number, "E0"; S-parameters
// "S3?" and "S3=13") and extended ones ("+CPIN=...") separated by semicolons.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessivo::modemsim {

struct AtCommand {
  enum class Form {
    kAction,  // AT+CPINR, ATE1
    kRead,    // AT+CPIN?
    kTest,    // AT+CPIN=?
    kSet,     // AT+CPIN=1234
  };

  // Upper case: "E", "Z", "&F", "+CPIN".
  std::string name;
  Form form = Form::kAction;
  // Basic commands: the number after the letter, or empty; for S-parameters
  // the register's number.
  std::string value;
  // Extended set commands: the parameters with any quotes taken off, so that
  // "1234" and 1234 read the same. "S3=13": the one value, "13".
  std::vector<std::string> args;
};

// The commands of a line, or nothing when the line does not start with "AT"
// or is not well formed. Case does not matter outside quotes; spaces outside
// quotes are ignored.
std::optional<std::vector<AtCommand>> ParseCommandLine(std::string_view line);

}  // namespace tessivo::modemsim
