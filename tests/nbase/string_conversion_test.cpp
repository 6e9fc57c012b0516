#include "nbase/string_conversion.h"

#include <gtest/gtest.h>

namespace {

TEST(StringConversionTest, RoundTripsTextOutsideTheBasicPlane) {
  // "Grüße" plus U+1F600, which needs a surrogate pair and four UTF-8 bytes.
  const std::wstring wide = L"Gr\u00fc\u00dfe \xD83D\xDE00";
  const std::string utf8 = nbase::WideToUtf8(wide);
  EXPECT_EQ(utf8, "Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x98\x80");
  EXPECT_EQ(nbase::Utf8ToWide(utf8), wide);
}

TEST(StringConversionTest, BrokenInputGivesEmptyText) {
  EXPECT_EQ(nbase::Utf8ToWide("ab\xC3"), L"");           // ends inside a character
  EXPECT_EQ(nbase::WideToUtf8(L"ab\xD83D"), "");         // unpaired leading surrogate
  EXPECT_EQ(nbase::Utf8ToWide(""), L"");
}

}  // namespace
