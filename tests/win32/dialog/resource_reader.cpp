#include "tests/win32/dialog/resource_reader.h"

#include <cstring>

namespace tessivo::win32test {
namespace {

// A little-endian reader over a resource; `ok` turns false when reading runs
// past the end.
class Reader {
 public:
  explicit Reader(const std::vector<unsigned char>& bytes) : bytes_(bytes) {}
  bool ok = true;
  std::uint16_t Word() {
    if (pos_ + 2 > bytes_.size()) return Fail();
    const std::uint16_t v = bytes_[pos_] | (bytes_[pos_ + 1] << 8);
    pos_ += 2;
    return v;
  }
  std::uint32_t Dword() {
    const std::uint32_t low = Word();
    return low | (static_cast<std::uint32_t>(Word()) << 16);
  }
  std::uint8_t Byte() {
    if (pos_ + 1 > bytes_.size()) return Fail();
    return bytes_[pos_++];
  }
  // A zero-ended UTF-16 string, as Windows-1252 (the texts here are ASCII).
  std::string String() {
    std::string out;
    for (std::uint16_t c = Word(); ok && c != 0; c = Word()) {
      out.push_back(c < 256 ? static_cast<char>(c) : '?');
    }
    return out;
  }
  // sz_Or_Ord: 0 (none), 0xFFFF and an ordinal, or a string.
  std::string StringOrOrdinal() {
    const std::size_t at = pos_;
    const std::uint16_t first = Word();
    if (first == 0) return "";
    if (first == 0xFFFF) return "#" + std::to_string(Word());
    pos_ = at;
    return String();
  }
  void AlignDword() { pos_ = (pos_ + 3) & ~std::size_t{3}; }
  void Skip(std::size_t n) { pos_ += n; }

 private:
  std::uint16_t Fail() {
    ok = false;
    pos_ = bytes_.size();
    return 0;
  }
  const std::vector<unsigned char>& bytes_;
  std::size_t pos_ = 0;
};

// The predefined control classes, stored as ordinals by resource compilers.
std::string ClassName(const std::string& raw) {
  if (raw == "#128") return "Button";
  if (raw == "#129") return "Edit";
  if (raw == "#130") return "Static";
  return raw;
}

}  // namespace

ProgramResources::ProgramResources(const std::string& path)
    : path_(path), module_(LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}

ProgramResources::~ProgramResources() {
  if (module_) FreeLibrary(module_);
}

std::vector<unsigned char> ProgramResources::Bytes(LPCSTR type, int id) const {
  if (!module_) return {};
  HRSRC found = FindResourceA(module_, MAKEINTRESOURCEA(id), type);
  if (!found) return {};
  HGLOBAL loaded = LoadResource(module_, found);
  const auto* data = static_cast<const unsigned char*>(LockResource(loaded));
  if (!data) return {};
  return std::vector<unsigned char>(data, data + SizeofResource(module_, found));
}

bool ProgramResources::Dialog(int id, DialogResource* out) const {
  const std::vector<unsigned char> bytes = Bytes(RT_DIALOG, id);
  if (bytes.empty()) return false;
  Reader r(bytes);
  DialogResource& d = *out;
  d.version = r.Word();
  d.signature = r.Word();
  d.helpId = r.Dword();
  d.exStyle = r.Dword();
  d.style = r.Dword();
  const int count = r.Word();
  d.x = static_cast<std::int16_t>(r.Word());
  d.y = static_cast<std::int16_t>(r.Word());
  d.cx = static_cast<std::int16_t>(r.Word());
  d.cy = static_cast<std::int16_t>(r.Word());
  d.menu = r.StringOrOrdinal();
  d.className = r.StringOrOrdinal();
  d.caption = r.String();
  d.pointSize = r.Word();
  d.weight = r.Word();
  d.italic = r.Byte();
  d.charSet = r.Byte();
  d.faceName = r.String();
  d.items.clear();
  for (int i = 0; i < count && r.ok; ++i) {
    r.AlignDword();
    TemplateItem item;
    item.helpId = r.Dword();
    item.exStyle = r.Dword();
    item.style = r.Dword();
    item.x = static_cast<std::int16_t>(r.Word());
    item.y = static_cast<std::int16_t>(r.Word());
    item.cx = static_cast<std::int16_t>(r.Word());
    item.cy = static_cast<std::int16_t>(r.Word());
    item.id = static_cast<std::int32_t>(r.Dword());
    item.className = ClassName(r.StringOrOrdinal());
    item.text = r.StringOrOrdinal();
    item.extraBytes = r.Word();
    r.Skip(item.extraBytes);
    d.items.push_back(item);
  }
  return r.ok;
}

bool ProgramResources::IconGroup(int id, std::vector<IconImage>* out) const {
  const std::vector<unsigned char> group = Bytes(RT_GROUP_ICON, id);
  if (group.empty()) return false;
  Reader r(group);
  r.Word();                         // reserved
  if (r.Word() != 1) return false;  // 1: icons
  const int count = r.Word();
  out->clear();
  for (int i = 0; i < count && r.ok; ++i) {
    IconImage image{};
    image.width = r.Byte();
    image.height = r.Byte();
    if (image.width == 0) image.width = 256;
    if (image.height == 0) image.height = 256;
    image.colourCount = r.Byte();
    r.Byte();
    image.planes = r.Word();
    image.bitCount = r.Word();
    r.Dword();  // bytes in the image
    const int imageId = r.Word();
    const std::vector<unsigned char> bits = Bytes(RT_ICON, imageId);
    if (bits.size() < sizeof(BITMAPINFOHEADER)) return false;
    static const unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    image.png = std::memcmp(bits.data(), kPngSignature, sizeof kPngSignature) == 0;
    if (image.png) {
      // IHDR: width and height big-endian at 16 and 20, then depth, colour type.
      auto big = [&bits](std::size_t at) {
        return (bits[at] << 24) | (bits[at + 1] << 16) | (bits[at + 2] << 8) | bits[at + 3];
      };
      image.headerWidth = big(16);
      image.headerHeight = big(20);
      const int channels[] = {1, 0, 3, 1, 2, 0, 4};  // by colour type 0..6
      const int colourType = bits[25];
      image.headerBitCount = colourType <= 6 ? bits[24] * channels[colourType] : 0;
      out->push_back(image);
      continue;
    }
    BITMAPINFOHEADER header;
    std::memcpy(&header, bits.data(), sizeof header);
    image.headerWidth = header.biWidth;
    image.headerHeight = header.biHeight;
    image.headerBitCount = header.biBitCount;
    out->push_back(image);
  }
  return r.ok;
}

std::vector<int> ProgramResources::IconGroupIds() const {
  std::vector<int> ids;
  if (!module_) return ids;
  EnumResourceNamesA(
      module_, RT_GROUP_ICON,
      [](HMODULE, LPCSTR, LPSTR name, LONG_PTR found) -> BOOL {
        // A named group would sort ahead of every numbered one.
        reinterpret_cast<std::vector<int>*>(found)->push_back(
            IS_INTRESOURCE(name) ? static_cast<int>(reinterpret_cast<ULONG_PTR>(name)) : -1);
        return TRUE;
      },
      reinterpret_cast<LONG_PTR>(&ids));
  return ids;
}

std::string ProgramResources::VersionString(const std::string& name) const {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path_.c_str(), &ignored);
  if (size == 0) return "";
  std::vector<unsigned char> block(size);
  if (!GetFileVersionInfoA(path_.c_str(), 0, size, block.data())) return "";
  void* value = nullptr;
  UINT length = 0;
  const std::string path = "\\StringFileInfo\\040704E4\\" + name;
  if (!VerQueryValueA(block.data(), path.c_str(), &value, &length) || length == 0) return "";
  return static_cast<const char*>(value);
}

}  // namespace tessivo::win32test
