#include "installer/base/path_helpers.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "nbase/string_conversion.h"
#include "tests/installer/base/test_support.h"

namespace {

using test_support::TempFolder;

struct PathCase {
  const wchar_t* path;
  const wchar_t* file_name;  // nullptr: none
  const wchar_t* folder;     // nullptr: none
};

TEST(PathHelpersTest, FileNameAndFolder) {
  const PathCase cases[] = {
      {L"C:\\a\\b.exe", L"b.exe", L"C:\\a\\"},
      {L"C:/a/b.exe", L"b.exe", L"C:/a/"},
      // The file name prefers the last backslash; the folder takes either.
      {L"C:\\a/b\\c.txt", L"c.txt", L"C:\\a/b\\"},
      {L"C:\\a\\b/c.txt", L"b/c.txt", L"C:\\a\\b/"},
      {L"name.exe", L"name.exe", nullptr},
      {L"C:\\a\\", nullptr, L"C:\\a\\"},
      {L"", nullptr, nullptr},
      // A separator in the very first position does not make a folder.
      {L"\\name", L"name", nullptr},
  };
  for (const PathCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "path: " << nbase::WideToUtf8(c.path));
    const std::optional<std::wstring> name = PathFileName(c.path);
    ASSERT_EQ(name.has_value(), c.file_name != nullptr);
    if (name) {
      EXPECT_EQ(*name, c.file_name);
    }
    const std::optional<std::wstring> folder = PathFolder(c.path);
    ASSERT_EQ(folder.has_value(), c.folder != nullptr);
    if (folder) {
      EXPECT_EQ(*folder, c.folder);
    }
  }
}

TEST(PathHelpersTest, JoinReplacesTheFileName) {
  EXPECT_EQ(PathJoin(L"C:\\a\\setup.exe", L"x.dat"), std::optional<std::wstring>(L"C:\\a\\x.dat"));
  EXPECT_EQ(PathJoin(L"C:\\a\\", L"x.dat"), std::optional<std::wstring>(L"C:\\a\\x.dat"));
  EXPECT_FALSE(PathJoin(L"setup.exe", L"x.dat").has_value());
}

TEST(PathHelpersTest, ExistsTellsFilesFromFolders) {
  TempFolder temp;
  const std::wstring file = temp / L"file.txt";
  ASSERT_TRUE(test_support::WriteBytes(file, "x"));
  EXPECT_TRUE(PathExists(temp.path(), true));
  EXPECT_TRUE(PathExists(file, false));
  EXPECT_FALSE(PathExists(file, true));
  EXPECT_FALSE(PathExists(temp / L"missing", false));
}

TEST(PathHelpersTest, CreateFolderTreeCreatesEveryMissingLevel) {
  TempFolder temp;
  const std::wstring with_slash = temp / L"a\\b\\c\\";
  EXPECT_TRUE(CreateFolderTree(with_slash));
  EXPECT_TRUE(PathExists(with_slash, true));
  EXPECT_TRUE(CreateFolderTree(with_slash));  // already there

  // Without a trailing separator the last component is a folder as well.
  const std::wstring without_slash = temp / L"x/y";
  EXPECT_TRUE(CreateFolderTree(without_slash));
  EXPECT_TRUE(PathExists(without_slash, true));
}

TEST(PathHelpersTest, CreateFolderTreeFailsWhenAFileIsInTheWay) {
  TempFolder temp;
  ASSERT_TRUE(test_support::WriteBytes(temp / L"blocker", "x"));
  EXPECT_FALSE(CreateFolderTree(temp / L"blocker\\inner\\"));
  EXPECT_FALSE(CreateFolderTree(temp / L"blocker"));
  EXPECT_FALSE(CreateFolderTree(L""));
}

TEST(PathHelpersTest, CreateFolderShellAcceptsExistingFolders) {
  TempFolder temp;
  const std::wstring nested = temp / L"p\\q\\r";
  EXPECT_TRUE(CreateFolderShell(nested));
  EXPECT_TRUE(PathExists(nested, true));
  EXPECT_TRUE(CreateFolderShell(nested));
  EXPECT_FALSE(CreateFolderShell(L"relative\\folder"));
}


// A drive letter that the test prefix does not map.
const wchar_t kMissingDrive[] = L"Q:\\";

TEST(NormaliseFolderTest, Table) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"C:/a//b", L"C:\\a\\b\\"},
      {L"C:\\a\\", L"C:\\a\\"},
      {L"C:\\a", L"C:\\a\\"},
      {L"C:\\\\\\a////b", L"C:\\a\\b\\"},
      {L"\\\\server\\share", L"\\server\\share\\"},
      {L"", L""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NormaliseFolder(c.first), c.second) << nbase::WideToUtf8(c.first);
  }
}

TEST(IsValidInstallPathTest, Table) {
  ASSERT_EQ(GetDriveTypeW(kMissingDrive), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
  const std::pair<const wchar_t*, bool> cases[] = {
      {L"C:\\Program Files\\x", true},
      {L"C:/Program Files/x", true},
      {L"C:\\", true},
      {L"Q:\\x", false},
      {L"C:\\a:b", false},
      {L"C:\\a*b", false},
      {L"C:\\a?b", false},
      {L"C:\\a\"b", false},
      {L"C:\\a<b", false},
      {L"C:\\a>b", false},
      {L"C:\\a|b", false},
      {L"C:", false},
      {L"C:x", false},  // relative to drive C's current folder
      {L"C:x\\y", false},
      {L"Program Files\\x", false},
      {L"\\\\server\\share\\x", false},
      {L"", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsValidInstallPath(c.first), c.second) << nbase::WideToUtf8(c.first);
  }
}

TEST(FreeDiskMegabytesTest, MatchesTheDrivesFreeSpace) {
  ULARGE_INTEGER available = {}, total = {}, free_bytes = {};
  ASSERT_TRUE(GetDiskFreeSpaceExW(L"C:\\", &available, &total, &free_bytes));
  const double expected = static_cast<double>(free_bytes.QuadPart) / (1024.0 * 1024.0);
  ASSERT_GT(expected, 1.0);
  // Other programs write to the disk meanwhile: allow a little drift.
  const double tolerance = expected * 0.01 + 64;
  EXPECT_NEAR(FreeDiskMegabytes(L"C:\\Program Files\\x"), expected, tolerance);
  EXPECT_NEAR(FreeDiskMegabytes(L"C:/Program Files/x"), expected, tolerance);
  EXPECT_NEAR(FreeDiskMegabytes(L"C:\\"), expected, tolerance);
}

TEST(FreeDiskMegabytesTest, ZeroWithoutAUsableDrive) {
  for (const wchar_t* path : {L"Program Files\\x", L"C:", L"\\\\server\\share", L"", L"Q:\\x"}) {
    EXPECT_EQ(FreeDiskMegabytes(path), 0.0) << nbase::WideToUtf8(path);
  }
}

TEST(TextFileTest, WriteReplacesAndDeleteRemoves) {
  TempFolder temp;
  const std::wstring file = temp / L"language";
  ASSERT_TRUE(test_support::WriteBytes(file, "a much longer earlier content"));
  EXPECT_TRUE(WriteTextFile(file, "de"));
  EXPECT_EQ(test_support::ReadBytes(file), "de");
  EXPECT_FALSE(WriteTextFile(temp / L"missing\\language", "de"));
  EXPECT_TRUE(DeleteFileAt(file));
  EXPECT_FALSE(PathExists(file, false));
  EXPECT_FALSE(DeleteFileAt(file));
}

}  // namespace
