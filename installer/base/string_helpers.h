#pragma once

#include <string>
#include <vector>

#include "nbase/string_conversion.h"
#include "ui/core/text_helpers.h"

// String helpers shared by the installer. UTF-8 conversion is strict (an
// input that ends inside a character converts to the empty string); splitting,
// trimming and replacing are the UI framework's, which reads the same
// settings and language files.
using nbase::Utf8ToWide;
using nbase::WideToUtf8;
using ui::ReplaceAll;
using ui::SplitText;
using ui::TrimText;

// printf-style formatting into a string of any length up to 2^25 - 1
// characters; a longer result, or a format error, gives the empty string.
// Wide strings are passed with "%ls" in both variants, which every C runtime
// reads the same way ("%s" in a wide format means a narrow string to ISO C
// and a wide one to the Microsoft runtime, so it is never used for them).
std::string FormatText(const char* format, ...);
std::wstring FormatText(const wchar_t* format, ...);
