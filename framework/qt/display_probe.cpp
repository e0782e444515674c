#include "framework/qt/display_probe.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace tessivo {
namespace {

bool IsSet(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr && *value != '\0';
}

bool StartsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// The whole X11 handshake, authorisation included: a server that is there
// but refuses us is as useless to Qt as none.
bool X11Answers() {
  if (!IsSet("DISPLAY")) return false;
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  const bool answers = connection != nullptr && xcb_connection_has_error(connection) == 0;
  if (connection != nullptr) xcb_disconnect(connection);
  return answers;
}

// Wayland has no handshake to speak of: a socket that accepts is a
// compositor.
bool WaylandAnswers() {
  if (IsSet("WAYLAND_SOCKET")) return true;  // handed over by the compositor itself
  if (!IsSet("WAYLAND_DISPLAY")) return false;
  std::string path = std::getenv("WAYLAND_DISPLAY");
  if (path.front() != '/') {
    if (!IsSet("XDG_RUNTIME_DIR")) return false;
    path = std::string(std::getenv("XDG_RUNTIME_DIR")) + "/" + path;
  }
  sockaddr_un address{};
  if (path.size() >= sizeof address.sun_path) return false;
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool answers = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return answers;
}

}  // namespace

std::string ChooseQtPlatform(const std::string& requested, const DisplayAnswers& answers) {
  if (requested.empty()) {
    if (answers.x11) return "xcb";
    if (answers.wayland) return "wayland";
    return "";
  }
  std::string chosen;
  std::size_t begin = 0;
  while (begin <= requested.size()) {
    std::size_t end = requested.find(';', begin);
    if (end == std::string::npos) end = requested.size();
    const std::string entry = requested.substr(begin, end - begin);
    begin = end + 1;
    const bool usable = !entry.empty() && (StartsWith(entry, "xcb")       ? answers.x11
                                           : StartsWith(entry, "wayland") ? answers.wayland
                                                                          : true);
    if (!usable) continue;
    if (!chosen.empty()) chosen += ';';
    chosen += entry;
  }
  return chosen;
}

DisplayAnswers ProbeDisplays() {
  return {X11Answers(), WaylandAnswers()};
}

}  // namespace tessivo
