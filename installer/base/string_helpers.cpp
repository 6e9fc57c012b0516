#include "installer/base/string_helpers.h"

#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <type_traits>

namespace {

int FormatInto(char* buffer, size_t size, const char* format, va_list arguments) {
  return std::vsnprintf(buffer, size, format, arguments);
}

int FormatInto(wchar_t* buffer, size_t size, const wchar_t* format, va_list arguments) {
  return std::vswprintf(buffer, size, format, arguments);
}

// Short results take one step; longer ones go into a buffer that doubles
// from 2048 characters. A formatter that runs out of room may report a
// negative count (wide ISO variant) or the length it needed (narrow), so both
// mean "try a larger buffer" there; for the narrow one a negative count is a
// format error that no buffer size cures.
template <typename Char>
std::basic_string<Char> FormatList(const Char* format, va_list arguments) {
  constexpr size_t kFirstSize = 1024;
  constexpr size_t kSecondSize = 2048;
  constexpr size_t kLargestSize = size_t{1} << 25;
  std::basic_string<Char> buffer;
  for (size_t size = kFirstSize; size <= kLargestSize;
       size = size == kFirstSize ? kSecondSize : size * 2) {
    buffer.resize(size);
    // A va_list that a formatting call has walked is spent: every attempt
    // works on a fresh copy.
    va_list attempt;
    va_copy(attempt, arguments);
    const int length = FormatInto(&buffer[0], size, format, attempt);
    va_end(attempt);
    if (length >= 0 && static_cast<size_t>(length) < size) {
      buffer.resize(static_cast<size_t>(length));
      return buffer;
    }
    if (length < 0 && std::is_same<Char, char>::value) break;
  }
  return std::basic_string<Char>();
}

}  // namespace

std::string FormatText(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  std::string text = FormatList(format, arguments);
  va_end(arguments);
  return text;
}

std::wstring FormatText(const wchar_t* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  std::wstring text = FormatList(format, arguments);
  va_end(arguments);
  return text;
}
