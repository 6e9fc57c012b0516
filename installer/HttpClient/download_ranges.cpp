#include "installer/HttpClient/download_ranges.h"

#include <cctype>
#include <limits>

namespace {

// Decimal digits only, at least one, within the signed 64-bit range. Advances
// pos past the digits.
bool ReadNumber(const std::string& text, size_t& pos, std::int64_t* value) {
  const size_t start = pos;
  std::int64_t result = 0;
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
    const int digit = text[pos] - '0';
    if (result > (kMax - digit) / 10) return false;
    result = result * 10 + digit;
    ++pos;
  }
  if (pos == start) return false;
  *value = result;
  return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsValidFileName(const std::wstring& name) {
  if (name.empty() || name == L"." || name == L"..") return false;
  for (wchar_t c : name) {
    if (c < 0x20) return false;
    switch (c) {
      case L'<': case L'>': case L':': case L'"': case L'/': case L'\\': case L'|':
      case L'?': case L'*':
        return false;
      default:
        break;
    }
  }
  return true;
}

}  // namespace

std::vector<ByteRange> SplitIntoRanges(std::int64_t size) {
  std::vector<ByteRange> ranges(kDownloadPartCount);
  if (size < 0) size = 0;
  const std::int64_t part = size / kDownloadPartCount;
  for (int i = 0; i < kDownloadPartCount; ++i) {
    ranges[i].first = i * part;
    ranges[i].last = i + 1 < kDownloadPartCount ? ranges[i].first + part - 1 : size - 1;
  }
  return ranges;
}

std::string RangeFieldValue(const ByteRange& range) {
  return "bytes=" + std::to_string(range.first) + "-" + std::to_string(range.last);
}

std::wstring PartFilePath(const std::wstring& target, const ByteRange& range) {
  return target + L"." + std::to_wstring(range.first) + L"-" + std::to_wstring(range.last);
}

std::wstring FileNameFromUrl(const std::wstring& url) {
  if (url.empty()) return std::wstring();
  // The final character is never looked at: a URL ending in "/" names the
  // segment before it.
  size_t begin = 0;
  if (url.size() >= 2) {
    const size_t slash = url.find_last_of(L'/', url.size() - 2);
    if (slash != std::wstring::npos) begin = slash + 1;
  }
  const size_t end = url.find_first_of(L"?&", begin);
  std::wstring name = url.substr(begin, end == std::wstring::npos ? std::wstring::npos : end - begin);
  return IsValidFileName(name) ? name : std::wstring();
}

bool ParseContentRange(const std::string& text, ByteRange* range, std::int64_t* total) {
  size_t pos = 0;
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  static const char kUnit[] = "bytes";
  for (const char* u = kUnit; *u; ++u, ++pos) {
    if (pos >= text.size() || std::tolower(static_cast<unsigned char>(text[pos])) != *u) {
      return false;
    }
  }
  if (pos >= text.size() || !IsBlank(text[pos])) return false;
  while (pos < text.size() && IsBlank(text[pos])) ++pos;

  ByteRange parsed;
  std::int64_t complete = 0;
  if (!ReadNumber(text, pos, &parsed.first)) return false;
  if (pos >= text.size() || text[pos++] != '-') return false;
  if (!ReadNumber(text, pos, &parsed.last)) return false;
  if (pos >= text.size() || text[pos++] != '/') return false;
  if (!ReadNumber(text, pos, &complete)) return false;
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  if (pos != text.size()) return false;
  if (parsed.last < parsed.first || parsed.last >= complete) return false;

  *range = parsed;
  *total = complete;
  return true;
}

int WholePercent(std::int64_t received, std::int64_t total) {
  if (total <= 0 || received <= 0) return 0;
  if (received >= total) return 100;
  return static_cast<int>(static_cast<double>(received) / static_cast<double>(total) * 100.0);
}
