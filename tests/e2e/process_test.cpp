// The real installer executable, started as a separate process under Wine.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/support/installer_process.h"

namespace {

using e2e::InstallerProcess;

constexpr DWORD kStartTimeoutMs = 30000;
constexpr DWORD kExitTimeoutMs = 30000;

// A base name no other test uses, so that lock and log are this test's own.
std::wstring UniqueBaseName(const wchar_t* tag) {
  return std::wstring(tag) + std::to_wstring(GetCurrentProcessId());
}

class InstallerProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(e2e::BuiltInstallerPath().empty()) << "INSTALLER_EXE is not set";
    folder_ = e2e::MakeScratchFolder(L"process");
  }
  void TearDown() override {
    for (const auto& log : logs_) DeleteFileW(log.c_str());
  }
  std::wstring LogPath(const std::wstring& baseName) {
    logs_.push_back(e2e::LogFolder() + baseName + L"_log.txt");
    DeleteFileW(logs_.back().c_str());
    return logs_.back();
  }

  std::wstring folder_;
  std::vector<std::wstring> logs_;
};

TEST_F(InstallerProcessTest, LogsItsRunAndEndsWithCodeZeroWhenQuitIsPosted) {
  const std::wstring base = UniqueBaseName(L"E2eRun");
  const std::wstring log = LogPath(base);
  InstallerProcess installer;
  ASSERT_TRUE(installer.Start(folder_, base + L".exe"));
  ASSERT_TRUE(e2e::WaitForFileText(log, "app: run message loop\r\n", kStartTimeoutMs));

  ASSERT_TRUE(installer.PostQuit(kStartTimeoutMs));
  DWORD exitCode = 1234;
  ASSERT_TRUE(installer.WaitForExit(kExitTimeoutMs, &exitCode));
  EXPECT_EQ(exitCode, 0u);

  const std::string text = e2e::ReadFileBytes(log);
  ASSERT_EQ(text.compare(0, 3, "\xEF\xBB\xBF"), 0) << text;
  const size_t start = text.find(" LV_APP] ------- start setup -------\r\n");
  const size_t run = text.find(" LV_APP] app: run message loop\r\n");
  const size_t leave = text.find(" LV_APP] app: leave message loop\r\n");
  ASSERT_NE(start, std::string::npos) << text;
  ASSERT_NE(run, std::string::npos) << text;
  ASSERT_NE(leave, std::string::npos) << text;
  EXPECT_LT(start, run);
  EXPECT_LT(run, leave);
  EXPECT_EQ(text.find("app: started"), std::string::npos) << "the first line precedes the log path";
  EXPECT_EQ(text.compare(text.size() - 2, 2, "\r\n"), 0);
}

TEST_F(InstallerProcessTest, SecondCopyEndsAtOnceWithCodeZeroAndWritesNothing) {
  const std::wstring base = UniqueBaseName(L"E2eTwice");
  const std::wstring log = LogPath(base);
  InstallerProcess first;
  ASSERT_TRUE(first.Start(folder_, base + L".exe"));
  ASSERT_TRUE(e2e::WaitForFileText(log, "app: run message loop\r\n", kStartTimeoutMs));
  const std::string before = e2e::ReadFileBytes(log);

  // Same base name from another folder: the same lock.
  const std::wstring otherFolder = e2e::MakeScratchFolder(L"process_second");
  InstallerProcess second;
  ASSERT_TRUE(second.Start(otherFolder, base + L".exe"));
  DWORD secondCode = 1234;
  ASSERT_TRUE(second.WaitForExit(kExitTimeoutMs, &secondCode));
  EXPECT_EQ(secondCode, 0u);
  EXPECT_FALSE(first.HasEnded()) << "the first copy keeps running";
  EXPECT_EQ(e2e::ReadFileBytes(log), before);

  ASSERT_TRUE(first.PostQuit(kStartTimeoutMs));
  DWORD firstCode = 1234;
  ASSERT_TRUE(first.WaitForExit(kExitTimeoutMs, &firstCode));
  EXPECT_EQ(firstCode, 0u);
}

TEST_F(InstallerProcessTest, NameWithTwoDotsRunsWithoutALockAndLogsToBareLogName) {
  // "a.b.exe" splits into three pieces: no base name, so no lock and "_log.txt".
  const std::wstring name = L"E2e.dots" + std::to_wstring(GetCurrentProcessId()) + L".exe";
  const std::wstring log = LogPath(L"");
  InstallerProcess first, second;
  ASSERT_TRUE(first.Start(folder_, name));
  ASSERT_TRUE(e2e::WaitForFileText(log, "app: run message loop\r\n", kStartTimeoutMs));
  const std::wstring otherFolder = e2e::MakeScratchFolder(L"process_dots");
  ASSERT_TRUE(second.Start(otherFolder, name));

  // Both copies reach their message loop: two "run" lines in the shared log.
  const ULONGLONG deadline = GetTickCount64() + kStartTimeoutMs;
  size_t runs = 0;
  while (GetTickCount64() < deadline) {
    const std::string text = e2e::ReadFileBytes(log);
    runs = 0;
    for (size_t at = text.find("app: run message loop"); at != std::string::npos;
         at = text.find("app: run message loop", at + 1))
      ++runs;
    if (runs >= 2) break;
    Sleep(20);
  }
  EXPECT_EQ(runs, 2u);

  for (InstallerProcess* copy : {&first, &second}) {
    ASSERT_TRUE(copy->PostQuit(kStartTimeoutMs));
    DWORD code = 1234;
    ASSERT_TRUE(copy->WaitForExit(kExitTimeoutMs, &code));
    EXPECT_EQ(code, 0u);
  }
}

}  // namespace
