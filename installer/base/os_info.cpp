#include "installer/base/os_info.h"

#include <windows.h>

namespace {

constexpr unsigned long kPlatformNt = 2;
constexpr unsigned char kWorkstation = 1;
constexpr unsigned short kArchitectureX86 = 0;
constexpr unsigned short kArchitectureX64 = 9;

bool QueryVersion(OSVERSIONINFOEXW* info) {
  ZeroMemory(info, sizeof(*info));
  info->dwOSVersionInfoSize = sizeof(*info);
  return GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(info)) != FALSE;
}

// A 32-bit process under 64-bit Windows sees x86 in GetSystemInfo; the
// native query tells the machine's architecture. It exists from XP on, so it
// is looked up by name.
unsigned short NativeArchitecture() {
  using GetNativeSystemInfoFunction = void(WINAPI*)(SYSTEM_INFO*);
  SYSTEM_INFO info = {};
  const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  auto get_native = reinterpret_cast<GetNativeSystemInfoFunction>(reinterpret_cast<void*>(
      kernel ? GetProcAddress(kernel, "GetNativeSystemInfo") : nullptr));
  if (get_native) {
    get_native(&info);
  } else {
    GetSystemInfo(&info);
  }
  return info.wProcessorArchitecture;
}

const wchar_t* NtName(unsigned long major, unsigned long minor, bool workstation) {
  if (major == 4) {
    if (minor == 0) return L"Microsoft Windows NT 4.0";
    if (minor == 10) return L"Microsoft Windows 98";
    if (minor == 90) return L"Microsoft Windows Me";
  } else if (major == 5) {
    if (minor == 0) return L"Windows 2000";
    if (minor == 1) return L"Windows XP";
    if (minor == 2) return L"Windows Server 2003";
  } else if (major == 6) {
    if (minor == 0) return workstation ? L"Windows Vista" : L"Windows Server 2008";
    if (minor == 1) return workstation ? L"Windows 7" : L"Windows Server 2008 R2";
  }
  return nullptr;
}

}  // namespace

std::wstring OsDisplayNameFor(const OsVersion& version) {
  const std::wstring unknown = L"Unknow";
  if (version.platform_id != kPlatformNt) return unknown;
  const wchar_t* name =
      NtName(version.major, version.minor, version.product_type == kWorkstation);
  if (version.major == 4 || version.major == 5) return name ? name : unknown;
  std::wstring result = name ? name : unknown;
  if (version.major >= 6) {
    if (version.architecture == kArchitectureX86) result += L" 32-bit";
    if (version.architecture == kArchitectureX64) result += L" 64-bit";
  }
  return result;
}

std::wstring OsDisplayName() {
  OSVERSIONINFOEXW info;
  if (!QueryVersion(&info)) return L"Unknow";
  OsVersion version;
  version.platform_id = info.dwPlatformId;
  version.major = info.dwMajorVersion;
  version.minor = info.dwMinorVersion;
  version.product_type = info.wProductType;
  version.architecture = NativeArchitecture();
  return OsDisplayNameFor(version);
}

bool IsOs64Bit() {
  static const std::wstring name = OsDisplayName();
  return name.find(L" 64-bit") != std::wstring::npos;
}

bool IsVistaOrLater() {
  OSVERSIONINFOEXW info;
  return QueryVersion(&info) && info.dwMajorVersion > 5;
}
