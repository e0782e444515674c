// The dialog path of the console program `tessivo` on Linux: the dialog and
// Qt live in a program of their own, tessivo-dialog (package tessivo-gui),
// so that a machine without a display needs neither. A start that asks for
// the dialog becomes that program: same process, same arguments, same
// environment. It asks the display itself and, where none answers, ends
// with the usage text and status 2 as this program would.
#include <unistd.h>

#include <string>
#include <vector>

#include "app/sim_unlock_app.h"

namespace tessivo {
namespace {

constexpr const char* kDialogProgram = "tessivo-dialog";

// Beside this program: in the build tree as in /usr/bin or /usr/local/bin.
// Only where /proc is missing (an early boot, a bare chroot) the folder it
// was installed to stands in.
std::string DialogProgramPath() {
  std::string self(4096, '\0');
  const ssize_t length = readlink("/proc/self/exe", self.data(), self.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= self.size()) {
    return std::string(TESSIVO_INSTALL_BINDIR) + "/" + kDialogProgram;
  }
  self.resize(static_cast<std::size_t>(length));
  return self.substr(0, self.rfind('/') + 1) + kDialogProgram;
}

}  // namespace

DialogPathResult RunDialogPath(Platform& platform, const std::function<void()>&) {
  const std::vector<std::string> arguments = platform.Arguments().value_or(std::vector<std::string>{});
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  if (argv.empty()) argv.push_back(const_cast<char*>(kDialogProgram));
  argv.push_back(nullptr);
  execv(DialogProgramPath().c_str(), argv.data());
  // Still here: missing, not executable, or not a program for this machine.
  return DialogPathResult::NotInstalled;
}

}  // namespace tessivo
