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

namespace {

TEST(StringHelpersTest, ReplaceAllDoesNotRescanInsertedText) {
  struct Case {
    const wchar_t* find;
    const wchar_t* replacement;
    const wchar_t* text;
    const wchar_t* result;
  };
  const Case cases[] = {
      {L"XX", L"350", L"(XX MB of disk space is required.)", L"(350 MB of disk space is required.)"},
      {L"a", L"aa", L"aba", L"aabaa"},  // inserted text is not searched again
      {L"\\\\", L"\\", L"a\\\\\\b", L"a\\\\b"},  // three backslashes: one pair replaced
      {L"", L"x", L"abc", L"abc"},
      {L"a", L"x", L"", L""},
      {L"/", L"", L"/a/b/", L"ab"},
  };
  for (const Case& c : cases) {
    std::wstring text = c.text;
    ReplaceAll(c.find, c.replacement, &text);
    EXPECT_EQ(text, c.result) << WideToUtf8(c.text);
  }
}

TEST(FormatTextTest, LengthsAroundTheBufferSteps) {
  for (size_t length : {0u, 1023u, 1024u, 2047u, 2048u, 2049u, 5000u}) {
    SCOPED_TRACE(length);
    const std::string narrow(length, 'n');
    // A second argument after the long one shows that every retry reads the
    // arguments from the start.
    EXPECT_EQ(FormatText("%s|%d", narrow.c_str(), 42), narrow + "|42");
    const std::wstring wide(length, L'\u00fc');
    EXPECT_EQ(FormatText(L"%ls|%d", wide.c_str(), 42), wide + L"|42");
  }
}

TEST(FormatTextTest, WideStringsUseLs) {
  EXPECT_EQ(FormatText(L"%ls/", L"C:\\Program Files"), L"C:\\Program Files/");
  EXPECT_EQ(FormatText(L" %ls:%ld ", L"x.cpp", 57L), L" x.cpp:57 ");
  EXPECT_EQ(FormatText("%04d-%02d", 2024, 5), "2024-05");
}

TEST(FormatTextTest, ResultsBeyondTheLargestBufferGiveNothing) {
  const size_t largest = size_t{1} << 25;
  const std::string longest(largest - 1, 'x');
  EXPECT_EQ(FormatText("%s", longest.c_str()), longest);
  const std::string too_long(largest, 'x');
  EXPECT_EQ(FormatText("%s", too_long.c_str()), "");
}

}  // namespace
