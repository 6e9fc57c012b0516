#pragma once

#include <string>
#include <vector>

#include "nbase/string_conversion.h"
#include "ui/core/text_split.h"

// String helpers shared by the installer. UTF-8 conversion is strict (an
// input that ends inside a character converts to the empty string); splitting
// and trimming follow the rules of the settings and language files.
using nbase::Utf8ToWide;
using nbase::WideToUtf8;
using ui::SplitText;
using ui::TrimText;
