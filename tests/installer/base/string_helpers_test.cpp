#include "installer/base/string_helpers.h"

#include <gtest/gtest.h>

namespace {

TEST(StringHelpersTest, SplitTextDropsEmptyPieces) {
  struct Case {
    const wchar_t* text;
    const wchar_t* separators;
    std::vector<std::wstring> pieces;
  };
  const Case cases[] = {
      {L"a=b", L"=", {L"a", L"b"}},
      {L"==a===b==", L"=", {L"a", L"b"}},
      {L"Tidewell_setup_de.exe", L"._", {L"Tidewell", L"setup", L"de", L"exe"}},
      {L"abc", L"=", {L"abc"}},
      {L"===", L"=", {}},
      {L"", L"=", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(WideToUtf8(c.text));
    EXPECT_EQ(SplitText(c.text, c.separators), c.pieces);
  }
}

TEST(StringHelpersTest, TrimTextRemovesSpacesAndControlCharacters) {
  EXPECT_EQ(TrimText(L" \t\r\n\x01value here\x1D \r"), L"value here");
  // U+001E and U+001F are not trimmed; inner whitespace stays.
  EXPECT_EQ(TrimText(L"\x1E" L"a b\x1F"), L"\x1E" L"a b\x1F");
  EXPECT_EQ(TrimText(L" \t "), L"");
  EXPECT_EQ(TrimText(L"\xA0x\xA0"), L"\xA0x\xA0");  // no-break space is text
}

TEST(StringHelpersTest, Utf8ConversionIsTheStrictOne) {
  EXPECT_EQ(Utf8ToWide("Gr\xC3\xBC\xC3\x9F" "e"), L"Gr\u00fc\u00dfe");
  EXPECT_EQ(WideToUtf8(L"\xD83D\xDE00"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(Utf8ToWide("ab\xC3"), L"");
}

}  // namespace
