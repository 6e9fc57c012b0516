#include "installer/base/os_info.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "nbase/string_conversion.h"

namespace {

TEST(OsInfoTest, DisplayNameForVersionValues) {
  struct Case {
    OsVersion version;  // platform, major, minor, product type, architecture
    const wchar_t* name;
  };
  const Case cases[] = {
      {{2, 6, 1, 1, 9}, L"Windows 7 64-bit"},
      {{2, 6, 1, 1, 0}, L"Windows 7 32-bit"},
      {{2, 6, 1, 3, 9}, L"Windows Server 2008 R2 64-bit"},
      {{2, 6, 0, 1, 0}, L"Windows Vista 32-bit"},
      {{2, 6, 0, 2, 0}, L"Windows Server 2008 32-bit"},
      {{2, 6, 2, 1, 9}, L"Unknow 64-bit"},  // newer than the table
      {{2, 10, 0, 1, 0}, L"Unknow 32-bit"},
      {{2, 6, 1, 1, 6}, L"Windows 7"},      // Itanium: no suffix
      {{2, 5, 1, 1, 9}, L"Windows XP"},     // never a suffix before Vista
      {{2, 5, 2, 3, 0}, L"Windows Server 2003"},
      {{2, 5, 0, 1, 0}, L"Windows 2000"},
      {{2, 4, 0, 1, 0}, L"Microsoft Windows NT 4.0"},
      {{2, 4, 10, 1, 0}, L"Microsoft Windows 98"},
      {{2, 4, 90, 1, 0}, L"Microsoft Windows Me"},
      {{2, 5, 3, 1, 9}, L"Unknow"},
      {{1, 6, 1, 1, 9}, L"Unknow"},         // not the NT family
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(nbase::WideToUtf8(c.name));
    EXPECT_EQ(OsDisplayNameFor(c.version), c.name);
  }
}

// A 32-bit program runs under WOW64 exactly when Windows is 64-bit, which is
// what decides the download address.
TEST(OsInfoTest, SixtyFourBitMatchesWow64) {
  BOOL wow64 = FALSE;
  ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
  EXPECT_EQ(IsOs64Bit(), wow64 != FALSE) << nbase::WideToUtf8(OsDisplayName());
}

}  // namespace
