#include "installer/base/known_folders.h"

#include <windows.h>
#include <shlobj.h>

#include "installer/base/os_info.h"
#include "installer/base/path_helpers.h"

namespace {

// {F1B32785-6FBA-4FCF-9D55-7B8E7F157091}
constexpr GUID kFolderIdLocalAppData = {
    0xF1B32785, 0x6FBA, 0x4FCF, {0x9D, 0x55, 0x7B, 0x8E, 0x7F, 0x15, 0x70, 0x91}};
constexpr DWORD kKnownFolderCreate = 0x8000;
constexpr int kLocalAppDataCreate = 0x801C;  // CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE
constexpr int kProgramFiles = 0x0026;        // CSIDL_PROGRAM_FILES

// Owns a module loaded by LoadLibrary.
class ScopedLibrary {
 public:
  explicit ScopedLibrary(const wchar_t* name) : module_(LoadLibraryW(name)) {}
  ~ScopedLibrary() {
    if (module_) FreeLibrary(module_);
  }
  ScopedLibrary(const ScopedLibrary&) = delete;
  ScopedLibrary& operator=(const ScopedLibrary&) = delete;
  FARPROC Find(const char* name) const { return module_ ? GetProcAddress(module_, name) : nullptr; }

 private:
  HMODULE module_;
};

// SHGetKnownFolderPath exists from Vista on, so it is looked up by name.
std::wstring QueryKnownLocalAppData() {
  using GetKnownFolderPath = HRESULT(WINAPI*)(const GUID&, DWORD, HANDLE, PWSTR*);
  ScopedLibrary shell(L"shell32.dll");
  auto get_path = reinterpret_cast<GetKnownFolderPath>(
      reinterpret_cast<void*>(shell.Find("SHGetKnownFolderPath")));
  if (!get_path) return std::wstring();
  PWSTR path = nullptr;
  std::wstring result;
  if (SUCCEEDED(get_path(kFolderIdLocalAppData, kKnownFolderCreate, nullptr, &path)) && path) {
    result = path;
  }
  CoTaskMemFree(path);
  return result;
}

std::wstring QuerySpecialFolder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, 0, path))) return std::wstring();
  return path;
}

std::wstring WithTrailingBackslash(std::wstring path) {
  if (!path.empty() && path.back() != L'\\') path += L'\\';
  return path;
}

}  // namespace

std::wstring LocalAppDataFolder() {
  static const std::wstring folder = WithTrailingBackslash(
      IsVistaOrLater() ? QueryKnownLocalAppData() : QuerySpecialFolder(kLocalAppDataCreate));
  return folder;
}

std::wstring ProgramFilesFolder() {
  static const std::wstring folder = [] {
    const std::wstring path = QuerySpecialFolder(kProgramFiles);
    return path.empty() ? path : path + L"/";
  }();
  return folder;
}

std::wstring InstallerTempFolder() {
  const std::wstring local = LocalAppDataFolder();
  if (local.empty()) return std::wstring();
  const std::wstring temp = local + L"Temp\\";
  if (!PathExists(temp, true)) CreateFolderTree(temp);
  return temp;
}

std::wstring ModuleFilePath() {
  // The system cuts the path to the buffer and returns the buffer's size when
  // it does not fit, so grow until the whole path (and its NUL) fits.
  constexpr size_t kLongestPath = 32768;
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        GetModuleFileNameW(nullptr, &buffer[0], static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::wstring();
    if (length < buffer.size()) {
      buffer.resize(length);
      return buffer;
    }
    if (buffer.size() > kLongestPath) return std::wstring();
    buffer.resize(buffer.size() * 2);
  }
}

std::wstring ModuleFileName() { return PathFileName(ModuleFilePath()).value_or(std::wstring()); }

std::wstring ModuleFolder() { return PathFolder(ModuleFilePath()).value_or(std::wstring()); }
