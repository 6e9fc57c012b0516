#include "installer/base/process_helpers.h"

#include <tlhelp32.h>

#include "nbase/scoped_handle.h"

std::vector<DWORD> FindProcessesByName(const std::wstring& name) {
  std::vector<DWORD> ids;
  // The process list is all that is walked, so that is all the snapshot holds.
  nbase::ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return ids;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
       more = Process32NextW(snapshot.Get(), &entry)) {
    if (name == entry.szExeFile) ids.push_back(entry.th32ProcessID);
  }
  return ids;
}

bool IsProcessRunning(const std::wstring& name) { return !FindProcessesByName(name).empty(); }

void KillProcessesByName(const std::wstring& name) {
  for (DWORD id : FindProcessesByName(name)) {
    nbase::ScopedHandle process(OpenProcess(PROCESS_ALL_ACCESS, FALSE, id));
    if (process) TerminateProcess(process.Get(), 0);
  }
}
