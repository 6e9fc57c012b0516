// The resource package embedded in this test program is the one the
// installer carries (resource 133 of type "ZIP"), read through the same calls.
#include <windows.h>

#include <gtest/gtest.h>

#include "installer/base/language_catalogue.h"
#include "installer/base/product_info.h"
#include "nbase/string_conversion.h"
#include "tests/installer/base/shipped_settings.h"
#include "tests/installer/base/test_support.h"
#include "ui/core/language_table.h"
#include "ui/core/resource_package.h"

namespace {

class EmbeddedPackageTest : public testing::Test {
 protected:
  void SetUp() override {
    // An empty working folder: whatever loads must come from the package.
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    previous_folder_ = previous;
    ASSERT_TRUE(SetCurrentDirectoryW(empty_.path().c_str()));
    ASSERT_TRUE(ui::OpenResourcePackage(133, L"ZIP", L""));
  }
  void TearDown() override {
    ui::ClosePackage();
    SetCurrentDirectoryW(previous_folder_.c_str());
  }

  test_support::TempFolder empty_;
  std::wstring previous_folder_;
};

TEST_F(EmbeddedPackageTest, ProductSettings) {
  ProductInfo product;
  product.Load();
  ExpectShippedProductSettings(product);
}

// Every shipped text, exactly, in both languages.
TEST_F(EmbeddedPackageTest, LanguageTexts) {
  struct Text {
    const wchar_t* id;
    const wchar_t* english;
    const wchar_t* german;
  };
  const Text texts[] = {
      {L"STRID_HOMEPAGE_INSTALL", L"Install Now", L"Jetzt installieren"},
      {L"STRID_HOMEPAGE_LINK_LEFT", L"By clicking \"Install Now\", you agree to the", L"Indem Sie auf \u201eJetzt installieren\u201c klicken, stimmen Sie den"},
      {L"STRID_HOMEPAGE_LINK_CENTER", L"Service Agreements", L"Servicevereinbarungen"},
      {L"STRID_HOMEPAGE_LINK_RIGHT", L".", L"zu."},
      {L"STRID_HOMEPAGE_CUSTOM", L"Custom Install", L"Benutzerdefinierte Installation"},
      {L"STRID_HOMEPAGE_LANGUAGE_OPTIONS", L"Language Options:", L"Sprachoptionen:"},
      {L"STRID_HOMEPAGE_INSTALL_PATH", L"Installation Path:", L"Installationspfad:"},
      {L"STRID_HOMEPAGE_INVALID_PATH", L"Invaild installation path.", L"Ung\u00fcltiger Installationspfad."},
      {L"STRID_DOWNLOADPAGE_INSTALLING", L"Installing, please wait...", L"Wird installiert, bitte warten..."},
      {L"STRID_DOWNLOADPAGE_INSTALL_TIP", L"Please do not go offline or restart your computer", L"Bitte gehen Sie nicht offline und starten Sie Ihren Computer nicht neu"},
      {L"STRID_DOWNLOADPAGE_HIDE", L"Hide", L"Verstecken"},
      {L"STRID_DOWNLOADPAGE_START", L"Start Now", L"Jetzt Starten"},
      {L"STRID_BOX_QUIT", L"The installation is not completed yet! Are you sure you want to quit?", L"Die Installation ist noch nicht abgeschlossen! Sind Sie sicher, dass Sie aufh\u00f6ren wollen?"},
      {L"STRID_BOX_DISK_NOT_ENOUGH", L"There is not enough disk space to complete the installation. (XX MB of disk space is required.)", L"Kein gen\u00fcgend Speicherplatz im Datentr\u00e4ger ist verf\u00fcgbar, um die Installation abzuschlie\u00dfen. (XX MB Festplattenspeicher sind erforderlich.)"},
      {L"STRID_BOX_NETWORK_ERROR", L"Network error. Please check your network connection and try again.", L"Netzwerkfehler. Bitte \u00fcberpr\u00fcfen Sie Ihre Netzwerkverbindung und versuchen Sie es noch mal."},
      {L"STRID_BOX_UNKOWN_ERROR", L"Something went wrong during installation. Please try again, or you can click Ignore to manually access the full setup package from the official website.", L"Bei der Installation ist etwas schief gelaufen. Bitte versuchen Sie es noch mal oder klicken Sie auf Ignorieren, um manuell auf das vollst\u00e4ndige Setup-Paket von der offiziellen Website zuzugreifen."},
      {L"STRID_BOX_APP_RUNNING", L"XX is currently running. Please exit the program now, then click OK to continue, or Cancel to quit the setup.", L"XX l\u00e4uft zurzeit. Bitte beenden Sie jetzt das Programm und klicken Sie dann auf OK, um fortzufahren, oder auf Abbrechen, um das Setup zu beenden."},
      // The addresses the build was configured with.
      {L"URLID_DOWN", L"" TEST_URL_DOWN, L"" TEST_URL_DOWN},
      {L"URLID_DOWN_X64", L"" TEST_URL_DOWN_X64, L"" TEST_URL_DOWN_X64},
      {L"URLID_SERVICE", L"" TEST_URL_SERVICE, L"" TEST_URL_SERVICE},
      {L"URLID_INSTALL", L"" TEST_URL_INSTALL, L"" TEST_URL_INSTALL},
  };
  LanguageCatalogue catalogue;
  catalogue.SelectLanguageByCode(L"de");
  ASSERT_EQ(catalogue.CurrentName(), L"German");
  for (const Text& text : texts) {
    EXPECT_EQ(ui::GlobalLanguageTable().Lookup(text.id), text.german) << nbase::WideToUtf8(text.id);
  }
  catalogue.SelectLanguageByCode(L"en");
  ASSERT_EQ(catalogue.CurrentName(), L"English");
  for (const Text& text : texts) {
    EXPECT_EQ(ui::GlobalLanguageTable().Lookup(text.id), text.english) << nbase::WideToUtf8(text.id);
  }
}

}  // namespace
