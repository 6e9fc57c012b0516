#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The arithmetic and the texts of a parallel range download, kept free of I/O
// so that they can be checked on their own.

// A package is fetched in this many byte ranges at the same time.
constexpr int kDownloadPartCount = 8;

// Bytes first..last of a file, both inclusive. A range whose last byte lies
// before its first is empty (length 0).
struct ByteRange {
  std::int64_t first = 0;
  std::int64_t last = -1;

  std::int64_t Length() const { return last >= first ? last - first + 1 : 0; }
  bool IsEmpty() const { return Length() == 0; }
};

// Cuts [0, size) into kDownloadPartCount ranges in index order: each takes
// size / kDownloadPartCount bytes and the last one also takes the remainder.
// Below kDownloadPartCount bytes the first ranges are empty (0 to -1).
std::vector<ByteRange> SplitIntoRanges(std::int64_t size);

// The value of the Range field that asks for the range: "bytes=first-last".
std::string RangeFieldValue(const ByteRange& range);

// Where a part is stored before the join: the target path followed by
// ".first-last".
std::wstring PartFilePath(const std::wstring& target, const ByteRange& range);

// The package's file name: the text after the last "/" that stands before the
// URL's final character, up to the first "?", "&" or the end. A name that could
// leave the destination folder or is no valid file name (a "\", ":" or other
// character Windows refuses, "." or "..") gives an empty text.
std::wstring FileNameFromUrl(const std::wstring& url);

// Reads a Content-Range value of the form "bytes first-last/total". Anything
// else ("bytes */100", "bytes 5-2/100", a total of "*", other units, numbers
// that do not fit in 64 bits) is refused.
bool ParseContentRange(const std::string& text, ByteRange* range, std::int64_t* total);

// received / total as a whole percentage (truncated), 0 for an empty total
// and never above 100.
int WholePercent(std::int64_t received, std::int64_t total);
