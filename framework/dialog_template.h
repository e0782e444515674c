// A dialog template as data: the same fields an extended dialog resource
// (DLGTEMPLATEEX with its DLGITEMTEMPLATEEX items) holds. Windows reads the
// compiled resource itself; the Qt window system lays its dialog out from
// this description. Coordinates and sizes are dialog units.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tessivo {

struct ControlTemplate {
  int id;                 // -1 for a static that nobody addresses
  std::string className;  // "Edit", "Button" or "Static"
  std::string text;
  std::uint32_t style;
  int x, y, cx, cy;
};

struct DialogTemplate {
  int id;
  std::uint32_t style;
  std::uint32_t exStyle;
  int x, y, cx, cy;
  std::string caption;
  int pointSize;
  int weight;
  bool italic;
  int charSet;
  std::string faceName;
  std::vector<ControlTemplate> controls;  // creation order = tab order
};

// The program's own dialog templates, by resource identifier; nullptr when
// there is none. Defined by the user-interface room, next to the resources.
const DialogTemplate* FindDialogTemplate(int id);

// The window styles the window systems without a dialog manager look at
// (left-aligned text, SS_LEFT, is the absence of the others).
namespace style {
constexpr std::uint32_t kTabStop = 0x00010000;  // WS_TABSTOP
constexpr std::uint32_t kBorder = 0x00800000;   // WS_BORDER
// Buttons: the low nibble is the type.
constexpr std::uint32_t kButtonTypeMask = 0x0000000F;
constexpr std::uint32_t kDefPushButton = 0x00000001;  // BS_DEFPUSHBUTTON
constexpr std::uint32_t kMultiline = 0x00002000;      // BS_MULTILINE
// Statics: the low five bits are the type.
constexpr std::uint32_t kStaticTypeMask = 0x0000001F;
constexpr std::uint32_t kStaticCenter = 0x00000001;  // SS_CENTER
constexpr std::uint32_t kStaticRight = 0x00000002;   // SS_RIGHT
constexpr std::uint32_t kStaticNotify = 0x00000100;  // SS_NOTIFY
constexpr std::uint32_t kCenterImage = 0x00000200;   // SS_CENTERIMAGE
constexpr std::uint32_t kSunken = 0x00001000;        // SS_SUNKEN
}  // namespace style

}  // namespace tessivo
