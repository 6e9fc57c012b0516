#include "installer/base/known_folders.h"

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "installer/base/path_helpers.h"

namespace {

std::wstring ShellFolder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, 0, path))) return std::wstring();
  return path;
}

TEST(KnownFoldersTest, LocalAppDataIsTheShellsFolderWithABackslash) {
  const std::wstring expected = ShellFolder(CSIDL_LOCAL_APPDATA);
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(LocalAppDataFolder(), expected + L"\\");
}

TEST(KnownFoldersTest, ProgramFilesEndsWithASlash) {
  const std::wstring expected = ShellFolder(CSIDL_PROGRAM_FILES);
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(ProgramFilesFolder(), expected + L"/");
}

TEST(KnownFoldersTest, InstallerTempFolderExists) {
  const std::wstring temp = InstallerTempFolder();
  EXPECT_EQ(temp, LocalAppDataFolder() + L"Temp\\");
  EXPECT_TRUE(PathExists(temp, true));
}

TEST(KnownFoldersTest, ModuleNameAndFolderOfThisProgram) {
  EXPECT_EQ(ModuleFileName(), L"installer_base_tests.exe");
  EXPECT_EQ(ModuleFolder() + ModuleFileName(), ModuleFilePath());
  EXPECT_TRUE(PathExists(ModuleFilePath(), false));
}

}  // namespace
