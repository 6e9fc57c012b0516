#include "ui/core/resource_package.h"

#include <gtest/gtest.h>

#include "nbase/string_conversion.h"

namespace {

// Resources of this test program (see CMakeLists.txt): two small packages
// made from the fixture folders at build time.
constexpr int kFirstPackage = 140;
constexpr int kSecondPackage = 141;
constexpr int kNoSuchResource = 142;

std::string Text(const ui::GlobalMemory& block) {
  ui::GlobalMemoryLock lock(block.Get());
  if (!lock.data()) return "<none>";
  return std::string(static_cast<const char*>(lock.data()), lock.size());
}

TEST(PackagePathTest, Forms) {
  struct Case {
    const wchar_t* path;
    const wchar_t* native;
    const wchar_t* package;
  };
  const Case cases[] = {
      {L"resources\\themes\\default\\form\\..\\public\\x.png",
       L"resources\\themes\\default\\form\\..\\public\\x.png",
       L"resources/themes/default/public/x.png"},
      {L"resources\\themes\\default\\form\\../public/bk/bk_shadow.png",
       L"resources\\themes\\default\\form\\..\\public\\bk\\bk_shadow.png",
       L"resources/themes/default/public/bk/bk_shadow.png"},
      {L"a/./b", L"a\\.\\b", L"a/b"},
      {L"a//b", L"a\\b", L"a/b"},
      {L"a\\\\b", L"a\\b", L"a/b"},
      {L"/a/b", L"\\a\\b", L"a/b"},
      {L"a/../b", L"a\\..\\b", L"b"},
      {L"a/b/../../c", L"a\\b\\..\\..\\c", L"c"},
      {L"../a", L"..\\a", L"a"},          // nothing before it to remove
      {L"a/b../c", L"a\\b..\\c", L"a/b../c"},  // not at a component start
      {L"", L"", L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(nbase::WideToUtf8(c.path));
    EXPECT_EQ(ui::ToNativePath(c.path), c.native);
    EXPECT_EQ(ui::ToPackagePath(c.path), c.package);
  }
}

class ProcessPackageTest : public testing::Test {
 protected:
  void TearDown() override { ui::ClosePackage(); }
};

TEST_F(ProcessPackageTest, ReadsMembersOfTheEmbeddedPackage) {
  ASSERT_TRUE(ui::OpenResourcePackage(kFirstPackage, L"ZIP", L""));
  EXPECT_TRUE(ui::IsPackageOpen());
  EXPECT_EQ(Text(ui::ReadPackageFile(L"resources\\which.txt")), "first package\n");
  EXPECT_EQ(Text(ui::ReadPackageFile(
                L"resources\\themes\\default\\form\\..\\public\\CheckBox\\check_no.txt")),
            "check box of the first package\n");
  EXPECT_FALSE(ui::ReadPackageFile(L""));
  EXPECT_FALSE(ui::ReadPackageFile(L"resources\\missing.txt"));
}

TEST_F(ProcessPackageTest, OpeningAgainClosesTheFirstPackage) {
  ASSERT_TRUE(ui::OpenResourcePackage(kFirstPackage, L"ZIP", L""));
  ASSERT_TRUE(ui::OpenResourcePackage(kSecondPackage, L"ZIP", L""));
  EXPECT_EQ(Text(ui::ReadPackageFile(L"resources/which.txt")), "second package\n");
  EXPECT_FALSE(ui::ReadPackageFile(L"resources/themes/default/public/checkbox/check_no.txt"));
}

TEST_F(ProcessPackageTest, MissingResourceKeepsTheOpenPackage) {
  ASSERT_TRUE(ui::OpenResourcePackage(kFirstPackage, L"ZIP", L""));
  EXPECT_FALSE(ui::OpenResourcePackage(kNoSuchResource, L"ZIP", L""));
  EXPECT_EQ(Text(ui::ReadPackageFile(L"resources/which.txt")), "first package\n");
}

TEST_F(ProcessPackageTest, MissingResourceOpensNothing) {
  EXPECT_FALSE(ui::OpenResourcePackage(kNoSuchResource, L"ZIP", L""));
  EXPECT_FALSE(ui::IsPackageOpen());
  EXPECT_FALSE(ui::ReadPackageFile(L"resources/which.txt"));
  // The type is part of the resource's name.
  EXPECT_FALSE(ui::OpenResourcePackage(kFirstPackage, L"RCDATA", L""));
  EXPECT_FALSE(ui::IsPackageOpen());
}

TEST_F(ProcessPackageTest, CloseLeavesNoPackage) {
  ASSERT_TRUE(ui::OpenResourcePackage(kFirstPackage, L"ZIP", L""));
  ui::ClosePackage();
  EXPECT_FALSE(ui::IsPackageOpen());
  EXPECT_FALSE(ui::ReadPackageFile(L"resources/which.txt"));
}

}  // namespace
