// Reading the parameters of a command: the small parsers every command
// family shares.
#pragma once

#include <optional>
#include <string>

#include "at_command.h"

namespace tessivo::modemsim {

std::string Upper(std::string s);

// A decimal of at most three digits no larger than `max`; empty counts as
// `empty` when that is given.
std::optional<int> Number(const std::string& text, int max, std::optional<int> empty = {});

// The only argument of a set command, or nothing when there are more.
std::optional<std::string> OnlyArg(const AtCommand& cmd);

// Parameter `i` of a set command; empty when it was left out.
const std::string& Arg(const AtCommand& cmd, size_t i);

}  // namespace tessivo::modemsim
