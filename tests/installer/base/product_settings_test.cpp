// Product settings and language selection read from the folder on disk: this
// test program carries no resource package.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "installer/base/language_catalogue.h"
#include "installer/base/path_helpers.h"
#include "installer/base/product_info.h"
#include "nbase/string_conversion.h"
#include "tests/installer/base/shipped_settings.h"
#include "tests/installer/base/test_support.h"
#include "ui/core/language_table.h"
#include "ui/core/resource_package.h"
#include "ui/core/text_helpers.h"

namespace {

using test_support::TempFolder;

// A "resources" tree in a temporary folder that becomes the working folder.
class DiskResourcesTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(ui::OpenResourcePackage(133, L"ZIP", L""));
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    previous_folder_ = previous;
    ASSERT_TRUE(CreateFolderTree(temp_ / L"resources\\lang\\English\\"));
    ASSERT_TRUE(CreateFolderTree(temp_ / L"resources\\lang\\German\\"));
    Write(L"resources\\product.ini",
          "; settings\nBRAND_NAME = Halden\nPRODUCT_NAME = Tidewell\nPROCESS_NAME = Tidewell.exe\n"
          "GA_EC = Tidewell_for_Win\nGA_EN = Tidewell_Installer\n");
    Write(L"resources\\lang\\English\\gdstrings.ini",
          "; English\nSTRID_HOMEPAGE_INSTALL = Install Now\n");
    Write(L"resources\\lang\\German\\gdstrings.ini",
          "; German\nSTRID_HOMEPAGE_INSTALL = Jetzt installieren\nONLY_GERMAN = ja\n");
    ASSERT_TRUE(SetCurrentDirectoryW(temp_.path().c_str()));
  }
  void TearDown() override { SetCurrentDirectoryW(previous_folder_.c_str()); }

  void Write(const std::wstring& relative, const std::string& text) {
    ASSERT_TRUE(test_support::WriteBytes(temp_ / relative, text));
  }

  TempFolder temp_;
  std::wstring previous_folder_;
};

TEST_F(DiskResourcesTest, ProductSettingsComeFromTheFolder) {
  ProductInfo product;
  product.Load();
  ExpectShippedProductSettings(product);
  EXPECT_EQ(product.InstallFolder(), L"");
}

TEST_F(DiskResourcesTest, DefaultInstallFolderIsUnderProgramFiles) {
  ProductInfo product;
  product.Load();
  wchar_t program_files[MAX_PATH] = {};
  ASSERT_TRUE(SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, program_files)));
  EXPECT_EQ(product.DefaultInstallFolder(),
            std::wstring(program_files) + L"\\Halden\\Halden Tidewell");
}

TEST_F(DiskResourcesTest, MissingSettingsGiveEmptyFields) {
  ASSERT_TRUE(DeleteFileW((temp_ / L"resources\\product.ini").c_str()));
  ProductInfo product;
  product.Load();
  EXPECT_EQ(product.BrandName(), L"");
  EXPECT_EQ(product.ProcessName(), L"");
}

TEST_F(DiskResourcesTest, SelectLanguageByCode) {
  struct Case {
    const wchar_t* code;
    const wchar_t* language;
    const wchar_t* install_text;
  };
  const Case cases[] = {
      {L"de-setup", L"German", L"Jetzt installieren"},
      {L"ende", L"English", L"Install Now"},  // both codes occur: English comes first
      {L"de", L"German", L"Jetzt installieren"},
      {L"en", L"English", L"Install Now"},
  };
  LanguageCatalogue catalogue;
  for (const Case& c : cases) {
    SCOPED_TRACE(nbase::WideToUtf8(c.code));
    catalogue.SelectLanguageByCode(c.code);
    EXPECT_EQ(catalogue.CurrentName(), c.language);
    EXPECT_EQ(ui::GlobalLanguageTable().Lookup(L"STRID_HOMEPAGE_INSTALL"), c.install_text);
  }
  // Loading from a file replaces the table: nothing German is left.
  EXPECT_EQ(ui::GlobalLanguageTable().Lookup(L"ONLY_GERMAN"), L"");
}

TEST_F(DiskResourcesTest, UnknownOrEmptyCodeKeepsTheLanguage) {
  LanguageCatalogue catalogue;
  catalogue.SelectLanguageByCode(L"de");
  for (const wchar_t* code : {L"fr", L"", L"DE"}) {
    catalogue.SelectLanguageByCode(code);
    EXPECT_EQ(catalogue.CurrentName(), L"German") << nbase::WideToUtf8(code);
  }
  catalogue.SwitchLanguage(L"Deutsch");  // a display name, not a folder name
  EXPECT_EQ(catalogue.CurrentName(), L"German");
  EXPECT_EQ(ui::GlobalLanguageTable().Lookup(L"STRID_HOMEPAGE_INSTALL"), L"Jetzt installieren");
}

TEST(LanguageCatalogueTest, EntriesInFolderOrder) {
  const std::map<std::wstring, LanguageEntry> entries = LanguageCatalogue().Entries();
  ASSERT_EQ(entries.size(), 2u);
  auto it = entries.begin();
  EXPECT_EQ(it->second.folder_name, L"English");
  EXPECT_EQ(it->second.display_name, L"English");
  EXPECT_EQ(it->second.code, L"en");
  ++it;
  EXPECT_EQ(it->second.folder_name, L"German");
  EXPECT_EQ(it->second.display_name, L"Deutsch");
  EXPECT_EQ(it->second.code, L"de");
}

TEST(LanguageCatalogueTest, CodeFromTheFileName) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"Tidewell_setup_de.exe", L"de"},
      {L"Tidewell_setup.exe", L"en"},
      {L"Tidewell_de.exe", L"en"},  // two pieces only
      {L"Tidewell_setup_fr.exe", L"fr"},
      {L"Tidewell__setup__de.exe", L"de"},  // runs of "_" count as one
      {L"Tidewell_setup_de.1.exe", L"en"},  // more than one dot
      {L"Tidewell_setup_de", L"en"},        // no dot
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FileNameLanguageCode(c.first), c.second) << nbase::WideToUtf8(c.first);
  }
  // This program is installer_base_tests.exe: three pieces before the dot.
  EXPECT_EQ(FileNameLanguageCode(), L"tests");
}

TEST_F(DiskResourcesTest, InstallFolderPaths) {
  ProductInfo product;
  product.Load();
  product.SetInstallFolder(L"");
  EXPECT_EQ(product.InstallFolder(), L"");

  std::wstring slashed = temp_.path();
  ui::ReplaceAll(L"\\", L"/", &slashed);
  product.SetInstallFolder(slashed + L"//Halden/");
  const std::wstring folder = temp_.path() + L"\\Halden\\";
  EXPECT_EQ(product.InstallFolder(), folder);
  EXPECT_EQ(product.ProductExecutablePath(), folder + L"Tidewell.exe");

  const std::wstring handover = product.LanguageHandoverPath();
  EXPECT_EQ(handover, folder + L"cache\\language");
  EXPECT_TRUE(PathExists(folder + L"cache", true));
}

}  // namespace
