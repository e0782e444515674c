// The graphics vocabulary of the framework layer: colours, font
// descriptions, handles of graphics objects and the device context a
// control-colour request or a paint works on. The window system behind it is
// GDI on Windows and Qt on Linux (see window_system.h).
#pragma once

#include <cstdint>
#include <string>

namespace tessivo {

struct Rgb {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  bool operator==(const Rgb& o) const { return red == o.red && green == o.green && blue == o.blue; }
  bool operator!=(const Rgb& o) const { return !(*this == o); }
};

// A font description in the terms of LOGFONTA: every field not listed is 0.
// A positive height asks for that character cell height in pixels, a
// negative one for that character height (cell minus internal leading).
struct LogFont {
  std::int32_t height = 0;
  std::int32_t weight = 0;  // 400 normal, 700 bold, 0 the system's default
  bool italic = false;
  std::string faceName;
};

// An opaque handle of a font, brush or icon that the window system created;
// 0 stands for none. Its meaning belongs to the window system alone.
using GdiObject = std::uintptr_t;
using IconHandle = std::uintptr_t;

// Pixel sizes are written for a screen of 96 dots per inch, Windows' 100 %;
// on another screen they grow in proportion, rounded to the nearest pixel,
// as MulDiv rounds.
constexpr int kUnscaledDpi = 96;
constexpr int ScaleToDpi(int pixels, int dpi) {
  const long long product = static_cast<long long>(pixels) * dpi;
  const long long half = kUnscaledDpi / 2;
  return static_cast<int>(product >= 0 ? (product + half) / kUnscaledDpi
                                       : -((-product + half) / kUnscaledDpi));
}

struct Size {
  int cx = 0;
  int cy = 0;
};

// The surface a control-colour request or a paint draws on.
class CDC {
 public:
  virtual ~CDC() = default;
  virtual void SetTextColor(Rgb colour) = 0;
  virtual void SetBkColor(Rgb colour) = 0;
  virtual void DrawIcon(int x, int y, IconHandle icon) = 0;
};

}  // namespace tessivo
