#pragma once

#include <string>
#include <vector>

namespace ui {

// Pieces of `text` between any of the characters in `separators`. Runs of
// separators count as one and empty pieces are dropped, so "a==b" split at "="
// gives {"a", "b"} and an empty text gives no pieces.
std::vector<std::wstring> SplitText(const std::wstring& text, const std::wstring& separators);

// Removes spaces and every character below U+001E (tabs, CR, LF and the other
// control characters) from both ends. U+001E and U+001F are kept. This is the
// trimming rule of the settings and language files.
std::wstring TrimText(const std::wstring& text);

// Replaces every occurrence of `find` in `text`, left to right, without
// looking into inserted text again. Nothing happens when `find` or the text
// is empty.
void ReplaceAll(const std::wstring& find, const std::wstring& replacement, std::wstring* text);

}  // namespace ui
