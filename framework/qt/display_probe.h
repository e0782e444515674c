// Whether a window system can be opened, found out before Qt is started:
// Qt ends the whole process (a core dump, and its own messages on stderr)
// when the platform it is told to use cannot connect, so Tessivo picks a
// platform that answers, or none.
#pragma once

#include <string>

namespace tessivo {

struct DisplayAnswers {
  bool x11 = false;      // the X server DISPLAY names accepted a connection
  bool wayland = false;  // the Wayland compositor's socket accepted one
};

// The Qt platform list to start with ("xcb", "offscreen", "wayland;xcb", ...)
// or "" when none would come up. `requested` is QT_QPA_PLATFORM: its entries
// are kept in order, except xcb and wayland ones whose display does not
// answer. Without a request, X11 (also XWayland) comes first, then Wayland.
std::string ChooseQtPlatform(const std::string& requested, const DisplayAnswers& answers);

// Asks the displays the environment names (DISPLAY, WAYLAND_DISPLAY), each
// only when named; a display that is not named does not answer.
DisplayAnswers ProbeDisplays();

}  // namespace tessivo
