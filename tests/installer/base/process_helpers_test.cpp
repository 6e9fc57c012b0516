#include "installer/base/process_helpers.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "installer/base/known_folders.h"
#include "nbase/scoped_handle.h"

namespace {

// Starts the probe helper (TidewellProbe.exe, beside this test program) and
// makes sure it is gone again when the test ends.
class ProbeProcess {
 public:
  ProbeProcess() {
    std::wstring command_line = L"\"" + ModuleFolder() + L"TidewellProbe.exe\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (CreateProcessW(nullptr, &command_line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &info)) {
      process_.Reset(info.hProcess);
      CloseHandle(info.hThread);
      id_ = info.dwProcessId;
    }
  }
  ~ProbeProcess() {
    if (process_ && WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT) {
      TerminateProcess(process_.Get(), 99);
      WaitForSingleObject(process_.Get(), 10000);
    }
  }
  ProbeProcess(const ProbeProcess&) = delete;
  ProbeProcess& operator=(const ProbeProcess&) = delete;

  bool started() const { return process_.IsValid(); }
  DWORD id() const { return id_; }
  HANDLE handle() const { return process_.Get(); }

 private:
  nbase::ScopedHandle process_;
  DWORD id_ = 0;
};

bool Contains(const std::vector<DWORD>& ids, DWORD id) {
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

TEST(ProcessHelpersTest, FindsAndKillsByExactName) {
  ProbeProcess probe;
  ASSERT_TRUE(probe.started());

  EXPECT_TRUE(Contains(FindProcessesByName(L"TidewellProbe.exe"), probe.id()));
  EXPECT_TRUE(IsProcessRunning(L"TidewellProbe.exe"));
  // Other letter case, or the name without its extension, is another name.
  EXPECT_FALSE(Contains(FindProcessesByName(L"tidewellprobe.exe"), probe.id()));
  EXPECT_FALSE(Contains(FindProcessesByName(L"TidewellProbe"), probe.id()));

  KillProcessesByName(L"TIDEWELLPROBE.EXE");
  EXPECT_EQ(WaitForSingleObject(probe.handle(), 500), static_cast<DWORD>(WAIT_TIMEOUT))
      << "a name in other letter case must not stop the probe";

  KillProcessesByName(L"TidewellProbe.exe");
  ASSERT_EQ(WaitForSingleObject(probe.handle(), 30000), WAIT_OBJECT_0);
  DWORD exit_code = 99;
  GetExitCodeProcess(probe.handle(), &exit_code);
  EXPECT_EQ(exit_code, 0u);  // the probe itself would have ended with 3
  EXPECT_FALSE(Contains(FindProcessesByName(L"TidewellProbe.exe"), probe.id()));
}

TEST(ProcessHelpersTest, UnknownNameFindsAndStopsNothing) {
  ProbeProcess probe;
  ASSERT_TRUE(probe.started());
  EXPECT_TRUE(FindProcessesByName(L"NoSuchProgram.exe").empty());
  EXPECT_FALSE(IsProcessRunning(L"NoSuchProgram.exe"));
  EXPECT_FALSE(IsProcessRunning(L""));
  KillProcessesByName(L"NoSuchProgram.exe");
  EXPECT_EQ(WaitForSingleObject(probe.handle(), 200), static_cast<DWORD>(WAIT_TIMEOUT));
}

}  // namespace
