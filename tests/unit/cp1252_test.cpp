#include "text/cp1252.h"

#include <gtest/gtest.h>

namespace tessivo {
namespace {

struct CasePair {
  unsigned char lower;
  unsigned char upper;
};

// Every letter pair of the code page outside ASCII, plus the ASCII ends.
const CasePair kPairs[] = {
    {'a', 'A'},   {'z', 'Z'},   {0x9A, 0x8A}, {0x9C, 0x8C}, {0x9E, 0x8E}, {0xFF, 0x9F},
    {0xE0, 0xC0}, {0xE4, 0xC4}, {0xF6, 0xD6}, {0xFC, 0xDC}, {0xFE, 0xDE},
};

TEST(Cp1252, LetterPairsMapBothWays) {
  for (const auto& p : kPairs) {
    SCOPED_TRACE(static_cast<int>(p.lower));
    EXPECT_EQ(static_cast<unsigned char>(ToUpper1252(static_cast<char>(p.lower))), p.upper);
    EXPECT_EQ(static_cast<unsigned char>(ToLower1252(static_cast<char>(p.upper))), p.lower);
  }
}

TEST(Cp1252, BytesWithoutPartnerStayPut) {
  // ß, ×, ÷, µ, digits, punctuation, the euro sign and the bytes next to the
  // letter ranges must never move.
  const unsigned char kFixed[] = {0xDF, 0xD7, 0xF7, 0xB5, '0', '9', '+',
                                  '"',  0x80, '@',  '[',  '`', '{', 0x00};
  for (unsigned char b : kFixed) {
    SCOPED_TRACE(static_cast<int>(b));
    EXPECT_EQ(static_cast<unsigned char>(ToUpper1252(static_cast<char>(b))), b);
    EXPECT_EQ(static_cast<unsigned char>(ToLower1252(static_cast<char>(b))), b);
  }
}

TEST(Cp1252, WholeStrings) {
  EXPECT_EQ(ToUpper1252("at+clck=\"sc\",2\r"), "AT+CLCK=\"SC\",2\r");
  EXPECT_EQ(ToLower1252("Unerwartete R\xDC"
                        "ckmeldung"),
            "unerwartete r\xFC"
            "ckmeldung");
}

}  // namespace
}  // namespace tessivo
