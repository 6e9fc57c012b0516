// Test helper: records how it was started. Usage: record_args <record file> [...]
// After a short pause (so a caller that does not wait would see no record yet)
// it writes two UTF-8 lines to the record file: its own module path as the
// installer's helper reports it, and its raw command line. Exits with code 7.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "installer/base/known_folders.h"
#include "nbase/string_conversion.h"

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv || argc < 2) return 2;
  const std::wstring record = argv[1];
  LocalFree(argv);

  Sleep(300);
  const std::string text =
      nbase::WideToUtf8(ModuleFilePath()) + "\n" + nbase::WideToUtf8(GetCommandLineW()) + "\n";
  // Written under another name and renamed, so the record appears complete.
  const std::wstring partial = record + L".part";
  HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 3;
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
  if (!MoveFileExW(partial.c_str(), record.c_str(), MOVEFILE_REPLACE_EXISTING)) return 4;
  return 7;
}
