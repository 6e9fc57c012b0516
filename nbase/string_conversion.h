#pragma once

#include <string>

namespace nbase {

// Strict conversions between UTF-8 and UTF-16: an input that is not valid
// (for example one that ends in the middle of a character, or a wide string
// ending in an unpaired surrogate) converts to the empty string rather than
// to a text with replacement characters.
std::wstring Utf8ToWide(const std::string& utf8);
std::string WideToUtf8(const std::wstring& wide);

}  // namespace nbase
