#include "installer/base/path_helpers.h"

#include <windows.h>
#include <shlobj.h>

#include "installer/base/string_helpers.h"
#include "nbase/scoped_handle.h"

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

bool DeleteFileAt(const std::wstring& path) { return DeleteFileW(path.c_str()) != FALSE; }

std::wstring NormaliseFolder(const std::wstring& text) {
  if (text.empty()) return text;
  std::wstring folder = text + L"//";
  ReplaceAll(L"/", L"\\", &folder);
  while (folder.find(L"\\\\") != std::wstring::npos) ReplaceAll(L"\\\\", L"\\", &folder);
  return folder;
}

bool IsValidInstallPath(const std::wstring& text) {
  // "C:" alone would become "C:\" below; the drive and its separator must
  // be there already.
  if (text.size() < 3) return false;
  const std::wstring folder = NormaliseFolder(text);
  if (folder.find(L':') == std::wstring::npos) return false;
  // "C:x" names a folder relative to the current folder of drive C:, which
  // is no place to install into: the drive must be followed by a backslash.
  if (folder[1] != L':' || folder[2] != L'\\') return false;
  if (!PathExists(folder.substr(0, 3), true)) return false;
  return folder.find_first_of(L":*?\"<>|", 3) == std::wstring::npos;
}

double FreeDiskMegabytes(const std::wstring& path) {
  std::wstring copy = path;
  ReplaceAll(L"\\", L"/", &copy);
  if (copy.size() < 3 || copy.compare(1, 2, L":/") != 0) return 0;
  const std::wstring root = copy.substr(0, 2) + L"\\";
  DWORD sectors_per_cluster = 0;
  DWORD bytes_per_sector = 0;
  DWORD free_clusters = 0;
  DWORD total_clusters = 0;
  if (!GetDiskFreeSpaceW(root.c_str(), &sectors_per_cluster, &bytes_per_sector, &free_clusters,
                         &total_clusters)) {
    return 0;
  }
  const DWORD bytes_per_cluster = sectors_per_cluster * bytes_per_sector;
  return static_cast<double>(bytes_per_cluster) / (1024.0 * 1024.0) * free_clusters;
}

bool WriteTextFile(const std::wstring& path, const std::string& text) {
  nbase::ScopedHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  return WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
         written == text.size();
}
