#include "installer/base/os_info.h"

#include <windows.h>

namespace {

bool QueryVersion(OSVERSIONINFOEXW* info) {
  ZeroMemory(info, sizeof(*info));
  info->dwOSVersionInfoSize = sizeof(*info);
  return GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(info)) != FALSE;
}

}  // namespace

bool IsVistaOrLater() {
  OSVERSIONINFOEXW info;
  return QueryVersion(&info) && info.dwMajorVersion > 5;
}
