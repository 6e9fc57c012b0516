#include "installer/main/installer_entry.h"

#include "installer/base/known_folders.h"
#include "installer/main/application_threads.h"
#include "installer/main/instance_lock.h"
#include "installer/main/log.h"
#include "nbase/message_loop.h"

void StartLog() {
  LOG_APP(L"app: started");
  const std::wstring path = InstallerTempFolder() + InstanceLockName() + L"_log.txt";
  LogFile::Instance().SetLevel(LV_APP);
  LogFile::Instance().SetPath(path);
}

int InstallerEntry(HINSTANCE /*instance*/, int /*showCommand*/) {
  const std::wstring lockName = InstanceLockName();
  // Held, never released, until the process ends: the system frees it then.
  SetLastError(ERROR_SUCCESS);
  HANDLE lock = CreateMutexW(nullptr, TRUE, lockName.empty() ? nullptr : lockName.c_str());
  if (!lock || GetLastError() == ERROR_ALREADY_EXISTS) {
    if (lock) CloseHandle(lock);
    return 0;
  }

  StartLog();
  LOG_APP(L"------- start setup -------");
  LOG_APP(L"app: run message loop");
  {
    MainThread mainThread("MainThread");
    mainThread.RunOnCurrentThread(nbase::MessageLoop::kUI);
  }
  LOG_APP(L"app: leave message loop");
  return 0;
}
