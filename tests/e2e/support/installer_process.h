#pragma once

#include <windows.h>

#include <string>

#include "nbase/scoped_handle.h"

// Test-side view of one installer process: starts a copy of the executable
// under a chosen file name (the name decides the lock, the log file and the
// language), finds its log, tells it to quit and collects its exit code.
namespace e2e {

// The built installer, from the INSTALLER_EXE environment variable (a Linux
// path when set by CTest; it is mapped onto Wine's Z: drive).
std::wstring BuiltInstallerPath();

// A folder of its own under the temporary folder, removed by the caller.
std::wstring MakeScratchFolder(const std::wstring& tag);

// Local application data's Temp folder, where the installer keeps its log.
std::wstring LogFolder();

std::string ReadFileBytes(const std::wstring& path);
bool WaitForFileText(const std::wstring& path, const std::string& text, DWORD timeoutMs);

class InstallerProcess {
 public:
  // Copies the built installer to folder\fileName and starts it there.
  bool Start(const std::wstring& folder, const std::wstring& fileName);
  // Starts an executable as it is.
  bool StartExecutable(const std::wstring& path);

  // Posts WM_QUIT to the first thread, retrying until its message queue exists.
  bool PostQuit(DWORD timeoutMs);
  bool HasEnded() const { return WaitForSingleObject(process_.Get(), 0) == WAIT_OBJECT_0; }
  // Waits for the end; false on time-out (the process is then killed).
  bool WaitForExit(DWORD timeoutMs, DWORD* exitCode);

  const std::wstring& path() const { return path_; }
  DWORD processId() const { return processId_; }
  DWORD threadId() const { return threadId_; }

  ~InstallerProcess();

 private:
  std::wstring path_;
  nbase::ScopedHandle process_;
  nbase::ScopedHandle thread_;
  DWORD processId_ = 0;
  DWORD threadId_ = 0;
};

}  // namespace e2e
