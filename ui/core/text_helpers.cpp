#include "ui/core/text_helpers.h"

namespace ui {

std::vector<std::wstring> SplitText(const std::wstring& text, const std::wstring& separators) {
  std::vector<std::wstring> pieces;
  size_t start = text.find_first_not_of(separators);
  while (start != std::wstring::npos) {
    const size_t end = text.find_first_of(separators, start);
    pieces.push_back(text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
    if (end == std::wstring::npos) break;
    start = text.find_first_not_of(separators, end);
  }
  return pieces;
}

namespace {
bool IsTrimmed(wchar_t c) { return c == L' ' || c < 0x1E; }
}  // namespace

std::wstring TrimText(const std::wstring& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsTrimmed(text[begin])) ++begin;
  while (end > begin && IsTrimmed(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

void ReplaceAll(const std::wstring& find, const std::wstring& replacement, std::wstring* text) {
  if (find.empty() || text->empty()) return;
  size_t position = 0;
  while ((position = text->find(find, position)) != std::wstring::npos) {
    text->replace(position, find.size(), replacement);
    position += replacement.size();
  }
}

}  // namespace ui
