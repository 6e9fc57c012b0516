#include "installer/base/path_helpers.h"

#include <windows.h>
#include <shlobj.h>

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

}  // namespace

std::optional<std::wstring> PathFileName(const std::wstring& path) {
  if (path.empty()) return std::nullopt;
  size_t separator = path.rfind(L'\\');
  if (separator == std::wstring::npos) separator = path.rfind(L'/');
  if (separator == std::wstring::npos) return path;
  if (separator + 1 == path.size()) return std::nullopt;
  return path.substr(separator + 1);
}

std::optional<std::wstring> PathFolder(const std::wstring& path) {
  if (path.empty()) return std::nullopt;
  if (IsSeparator(path.back())) return path;
  for (size_t i = path.size() - 1; i > 0; --i) {
    if (IsSeparator(path[i])) return path.substr(0, i + 1);
  }
  return std::nullopt;
}

std::optional<std::wstring> PathJoin(const std::wstring& path, const std::wstring& name) {
  std::optional<std::wstring> folder = PathFolder(path);
  if (!folder) return std::nullopt;
  return *folder + name;
}

bool PathExists(const std::wstring& path, bool as_folder) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  return !as_folder || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CreateFolderTree(const std::wstring& path) {
  if (path.empty()) return false;
  if (PathExists(path, true)) return true;
  // Growing prefixes, each ending after a separator (C:\, C:\a\, ...), and
  // finally the whole path when it has no trailing separator: the last
  // component is a folder to create too, not a file name.
  for (size_t end = 0; end < path.size(); ++end) {
    const bool last = end + 1 == path.size();
    if (!IsSeparator(path[end]) && !last) continue;
    const std::wstring prefix = path.substr(0, end + 1);
    if (PathExists(prefix, true)) continue;
    if (CreateDirectoryW(prefix.c_str(), nullptr)) continue;
    // Someone else may have created it meanwhile; a file of that name is in
    // the way, though.
    if (GetLastError() != ERROR_ALREADY_EXISTS || !PathExists(prefix, true)) return false;
  }
  return true;
}

bool CreateFolderShell(const std::wstring& path) {
  const int result = SHCreateDirectoryExW(nullptr, path.c_str(), nullptr);
  return result == ERROR_SUCCESS || result == ERROR_FILE_EXISTS || result == ERROR_ALREADY_EXISTS;
}
