#include "installer/main/log.h"

#include <windows.h>

#include <cwchar>

#include "nbase/scoped_handle.h"
#include "nbase/string_conversion.h"

namespace {

// The file-name part of a compiler-given source path: after the last
// backslash, or after the last slash when there is no backslash.
std::wstring SourceFileName(const char* sourceFile) {
  const std::wstring path = nbase::Utf8ToWide(sourceFile ? sourceFile : "");
  size_t cut = path.rfind(L'\\');
  if (cut == std::wstring::npos) cut = path.rfind(L'/');
  return cut == std::wstring::npos ? path : path.substr(cut + 1);
}

std::wstring LocalTimePrefix() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  wchar_t text[32];
  swprintf(text, sizeof(text) / sizeof(text[0]), L"[%04d-%02d-%02d %02d:%02d:%02d", now.wYear,
           now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
  return text;
}

}  // namespace

LogFile& LogFile::Instance() {
  // Deliberately leaked, see the declaration.
  static LogFile* const instance = new LogFile();
  return *instance;
}

void LogFile::Write(int level, const std::wstring& line) {
  OutputDebugStringW(line.c_str());
  if (level > level_ || path_.empty()) return;
  AppendToFile(nbase::WideToUtf8(line));
}

void LogFile::AppendToFile(const std::string& utf8) {
  static const char kByteOrderMark[] = "\xEF\xBB\xBF";
  nbase::AutoLock guard(lock_);
  const bool existed = GetFileAttributesW(path_.c_str()) != INVALID_FILE_ATTRIBUTES;
  nbase::ScopedHandle file(CreateFileW(path_.c_str(), FILE_APPEND_DATA,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  DWORD written = 0;
  if (!existed) WriteFile(file.Get(), kByteOrderMark, 3, &written, nullptr);
  if (!utf8.empty())
    WriteFile(file.Get(), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

LogLine::LogLine(const char* sourceFile, long sourceLine)
    : timePrefix_(LocalTimePrefix()),
      sourcePrefix_(L" " + SourceFileName(sourceFile) + L":" + std::to_wstring(sourceLine) + L" ") {}

LogLine::~LogLine() { LogFile::Instance().Write(level_, Text()); }

const wchar_t* LogLine::LevelName(int level) {
  static const wchar_t* const kNames[] = {L"LV_ERR", L"LV_WAR", L"LV_APP", L"LV_PRO"};
  return level >= LV_ERR && level <= LV_PRO ? kNames[level] : L"";
}

std::wstring LogLine::Text() const {
  return timePrefix_ + sourcePrefix_ + LevelName(level_) + L"] " + message_ + L"\r\n";
}
