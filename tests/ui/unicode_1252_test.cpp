// The Windows-1252 table at the Qt widget boundary: the bytes where the code
// page differs from Latin-1, characters it lacks, and the round trip.
#include <gtest/gtest.h>

#include "text/unicode_1252.h"

namespace tessivo {
namespace {

TEST(Unicode1252, BytesToCodePoints) {
  const struct {
    unsigned char byte;
    char32_t codePoint;
  } cases[] = {
      {'A', U'A'},    {0x7F, 0x7F},   {0x80, 0x20AC},  // euro sign, not U+0080
      {0x8A, 0x0160}, {0x93, 0x201C}, {0x99, 0x2122}, {0x9F, 0x0178},
      {0x81, 0x0081}, {0x9D, 0x009D},  // undefined: kept as C1 controls
      {0xA0, 0x00A0}, {0xDC, 0x00DC}, {0xFC, 0x00FC}, {0xFF, 0x00FF},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UnicodeFrom1252(static_cast<char>(c.byte)), c.codePoint) << int(c.byte);
  }
}

TEST(Unicode1252, CodePointsTheCodePageLacksBecomeQuestionMarks) {
  const struct {
    char32_t codePoint;
    unsigned char byte;
  } cases[] = {
      {0x20AC, 0x80}, {0x0178, 0x9F},
      {0x00FC, 0xFC}, {0x0080, '?'},  // a C1 control that Windows-1252 puts elsewhere
      {0x0142, '?'},                  // l with stroke
      {0x0100, '?'},                  // just above Latin-1
      {0x1F600, '?'},                 // beyond the basic plane
  };
  for (const auto& c : cases) {
    EXPECT_EQ(static_cast<unsigned char>(Cp1252FromUnicode(c.codePoint)), c.byte)
        << std::hex << unsigned(c.codePoint);
  }
}

TEST(Unicode1252, EveryByteSurvivesTheRoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(Cp1252FromUnicode(UnicodeFrom1252(all)), all);
}

}  // namespace
}  // namespace tessivo
