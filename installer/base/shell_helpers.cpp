#include "installer/base/shell_helpers.h"

#include <windows.h>
#include <shellapi.h>

#include "nbase/scoped_handle.h"

void OpenUrl(const std::wstring& address) {
  ShellExecuteW(nullptr, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void ShellOpen(const std::wstring& file, const std::wstring& parameters) {
  ShellExecuteW(nullptr, L"open", file.c_str(), parameters.c_str(), nullptr, SW_SHOW);
}

bool RunElevatedAndWait(const std::wstring& file, const std::wstring& parameters) {
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof(info);
  // No error box from the shell: the caller runs on a hidden worker thread
  // and a failed start simply ends the wait.
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.lpVerb = L"runas";
  info.lpFile = file.c_str();
  info.lpParameters = parameters.c_str();
  info.nShow = SW_HIDE;
  if (ShellExecuteExW(&info) && info.hProcess) {
    nbase::ScopedHandle process(info.hProcess);
    WaitForSingleObject(process.Get(), INFINITE);
  }
  return true;
}
