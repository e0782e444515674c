// Reads the dialog template and the icon group back out of a program's
// resources, as the system's loader sees them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tessivo::win32test {

struct TemplateItem {
  std::uint32_t helpId, exStyle, style;
  int x, y, cx, cy;
  int id;                 // -1 for the unnamed statics
  std::string className;  // ordinals given by name: "Button", "Edit", "Static"
  std::string text;
  std::uint16_t extraBytes;
};

struct DialogResource {
  std::uint16_t version, signature;
  std::uint32_t helpId, exStyle, style;
  int x, y, cx, cy;
  std::string menu, className, caption;
  int pointSize, weight, italic, charSet;
  std::string faceName;
  std::vector<TemplateItem> items;
};

struct IconImage {
  // From the group's entry; 256 pixels are written as 0 there and read as
  // 256 here.
  int width, height, colourCount, planes, bitCount;
  // From the image's own BITMAPINFOHEADER, or from its PNG header (height
  // not doubled, bits per pixel from depth and channels).
  int headerWidth, headerHeight, headerBitCount;
  bool png;
};

// A program opened as a data file: nothing of it runs.
class ProgramResources {
 public:
  explicit ProgramResources(const std::string& path);
  ~ProgramResources();
  bool loaded() const { return module_ != nullptr; }

  // False when there is no such resource or it does not parse.
  bool Dialog(int id, DialogResource* out) const;
  bool IconGroup(int id, std::vector<IconImage>* out) const;
  // The icon groups' identifiers in the order the resources hold them,
  // which is the order Explorer looks at them in.
  std::vector<int> IconGroupIds() const;
  // A value of the version information's string table, "" if absent.
  std::string VersionString(const std::string& name) const;

 private:
  std::vector<unsigned char> Bytes(LPCSTR type, int id) const;
  std::string path_;
  HMODULE module_;
};

}  // namespace tessivo::win32test
