// The arithmetic and texts of the range download, without any I/O.
#include "installer/HttpClient/download_ranges.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

struct SplitCase {
  std::int64_t size;
  // Expected length of every part but the last, and of the last.
  std::int64_t part_length;
  std::int64_t last_part_length;
  // Range field and part path suffix of the first and the last part.
  const char* first_field;
  const wchar_t* first_suffix;
  const char* last_field;
  const wchar_t* last_suffix;
};

const SplitCase kSplitCases[] = {
    // Seven parts of 15,728,640 and an eighth with the remainder.
    {125829121, 15728640, 15728641, "bytes=0-15728639", L".0-15728639",
     "bytes=110100480-125829120", L".110100480-125829120"},
    {125829120, 15728640, 15728640, "bytes=0-15728639", L".0-15728639",
     "bytes=110100480-125829119", L".110100480-125829119"},
    // Above 2 and 4 GiB: offsets and texts need 64 bits.
    {5000000007LL, 625000000, 625000007, "bytes=0-624999999", L".0-624999999",
     "bytes=4375000000-5000000006", L".4375000000-5000000006"},
    {2147483648LL + 8, 268435457, 268435457, "bytes=0-268435456", L".0-268435456",
     "bytes=1879048199-2147483655", L".1879048199-2147483655"},
    {8, 1, 1, "bytes=0-0", L".0-0", "bytes=7-7", L".7-7"},
    // Below eight bytes the first seven parts are empty.
    {7, 0, 7, "bytes=0--1", L".0--1", "bytes=0-6", L".0-6"},
    {1, 0, 1, "bytes=0--1", L".0--1", "bytes=0-0", L".0-0"},
};

TEST(SplitIntoRangesTest, EightContiguousPartsLastTakesRemainder) {
  for (const SplitCase& c : kSplitCases) {
    SCOPED_TRACE("size " + std::to_string(c.size));
    const std::vector<ByteRange> ranges = SplitIntoRanges(c.size);
    ASSERT_EQ(ranges.size(), 8u);
    std::int64_t next = 0;
    std::int64_t sum = 0;
    for (size_t i = 0; i < ranges.size(); ++i) {
      const std::int64_t expected = i + 1 < ranges.size() ? c.part_length : c.last_part_length;
      EXPECT_EQ(ranges[i].Length(), expected) << "part " << i;
      if (!ranges[i].IsEmpty()) {
        EXPECT_EQ(ranges[i].first, next) << "part " << i;
        next = ranges[i].last + 1;
      }
      sum += ranges[i].Length();
    }
    EXPECT_EQ(next, c.size);
    EXPECT_EQ(sum, c.size);
    EXPECT_EQ(RangeFieldValue(ranges.front()), c.first_field);
    EXPECT_EQ(RangeFieldValue(ranges.back()), c.last_field);
    EXPECT_EQ(PartFilePath(L"C:\\t\\setup.exe", ranges.front()),
              std::wstring(L"C:\\t\\setup.exe") + c.first_suffix);
    EXPECT_EQ(PartFilePath(L"C:\\t\\setup.exe", ranges.back()),
              std::wstring(L"C:\\t\\setup.exe") + c.last_suffix);
  }
}

TEST(FileNameFromUrlTest, NameEndsAtQueryOrAmpersandAndNeverLeavesFolder) {
  struct {
    const wchar_t* url;
    const wchar_t* name;
  } const cases[] = {
      {L"https://dl.example.com/pkg/Tidewell_full.exe", L"Tidewell_full.exe"},
      {L"https://dl.example.com/pkg/Tidewell_full.exe?v=2&lang=de", L"Tidewell_full.exe"},
      {L"https://dl.example.com/pkg/Tidewell_full.exe&from=setup", L"Tidewell_full.exe"},
      {L"http://h/a/b/x.bin?", L"x.bin"},
      // The final character is not looked at: a trailing "/" keeps the segment
      // before it, which is then no file name.
      {L"http://h/pkg/", L""},
      {L"http://h/x", L"x"},
      // Names that would reach outside the folder, or that Windows refuses.
      {L"http://h/a/..\\..\\evil.exe", L""},
      {L"http://h/a/C:evil.exe", L""},
      {L"http://h/a/..", L""},
      {L"http://h/a/?x=1", L""},
      {L"", L""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FileNameFromUrl(c.url), c.name) << "url " << testing::PrintToString(c.url);
  }
}

TEST(ParseContentRangeTest, AcceptsOnlyCompleteByteRanges) {
  struct {
    const char* text;
    bool ok;
    std::int64_t first, last, total;
  } const cases[] = {
      {"bytes 0-15728639/125829121", true, 0, 15728639, 125829121},
      {"bytes 4375000000-4999999999/5000000000", true, 4375000000LL, 4999999999LL, 5000000000LL},
      {"Bytes  7-7/8 ", true, 7, 7, 8},
      {"bytes */1048583", false, 0, 0, 0},
      {"bytes 0-99/*", false, 0, 0, 0},
      {"bytes 5-2/100", false, 0, 0, 0},
      {"bytes 0-100/100", false, 0, 0, 0},  // last byte beyond the total
      {"bytes 0-9/10 x", false, 0, 0, 0},
      {"bytes -1-9/10", false, 0, 0, 0},
      {"items 0-9/10", false, 0, 0, 0},
      {"bytes0-9/10", false, 0, 0, 0},
      {"bytes 0-9/99999999999999999999", false, 0, 0, 0},
      {"", false, 0, 0, 0},
  };
  for (const auto& c : cases) {
    ByteRange range;
    std::int64_t total = -5;
    EXPECT_EQ(ParseContentRange(c.text, &range, &total), c.ok) << "'" << c.text << "'";
    if (!c.ok) {
      EXPECT_EQ(total, -5) << "'" << c.text << "' changed the result";
      continue;
    }
    EXPECT_EQ(range.first, c.first) << c.text;
    EXPECT_EQ(range.last, c.last) << c.text;
    EXPECT_EQ(total, c.total) << c.text;
  }
}

TEST(WholePercentTest, TruncatesAndStaysWithinBounds) {
  struct {
    std::int64_t received, total;
    int percent;
  } const cases[] = {
      {0, 100, 0},      {1, 100, 1},       {199, 200, 99},  {100, 100, 100},
      {150, 100, 100},  {5, 0, 0},         {-3, 100, 0},
      // 64-bit sums: 4.9 GB of 5 GB.
      {4900000000LL, 5000000000LL, 98},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WholePercent(c.received, c.total), c.percent)
        << c.received << " of " << c.total;
  }
}

}  // namespace
