// The Qt platform Tessivo starts with, from QT_QPA_PLATFORM and the displays
// that answer: never one that would make Qt end the process.
#include <gtest/gtest.h>

#include "framework/qt/display_probe.h"

namespace tessivo {
namespace {

TEST(QtPlatformChoice, Table) {
  const struct {
    const char* requested;
    bool x11;
    bool wayland;
    const char* chosen;  // "": no window system
  } cases[] = {
      {"", false, false, ""},
      {"", true, false, "xcb"},
      {"", false, true, "wayland"},
      {"", true, true, "xcb"},  // XWayland: the plugin every Qt has
      {"offscreen", false, false, "offscreen"},
      {"xcb", false, false, ""},
      {"xcb", true, false, "xcb"},
      {"wayland", false, false, ""},
      {"wayland-egl", false, true, "wayland-egl"},
      {"wayland;xcb", true, false, "xcb"},
      {"wayland;xcb", true, true, "wayland;xcb"},
      {"xcb:nograb;offscreen", false, false, "offscreen"},
      {";;", true, true, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.requested) + (c.x11 ? " x11" : "") + (c.wayland ? " wayland" : ""));
    EXPECT_EQ(ChooseQtPlatform(c.requested, {c.x11, c.wayland}), c.chosen);
  }
}

}  // namespace
}  // namespace tessivo
