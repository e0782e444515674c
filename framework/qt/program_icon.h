// The bytes of resources/tessivo.ico (icon group 128), compiled into the
// Linux program, where there are no Windows resources to hold it.
#pragma once

#include <string_view>

namespace tessivo {

std::string_view ProgramIconFile();

}  // namespace tessivo
