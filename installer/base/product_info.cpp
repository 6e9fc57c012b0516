#include "installer/base/product_info.h"

#include "installer/base/known_folders.h"
#include "installer/base/path_helpers.h"
#include "installer/base/string_helpers.h"
#include "ui/core/resource_package.h"

namespace {

std::wstring WithBackslashes(std::wstring path) {
  ReplaceAll(L"/", L"\\", &path);
  return path;
}

std::wstring WithTrailingBackslash(std::wstring folder) {
  if (folder.empty() || folder.back() != L'\\') folder += L'\\';
  return folder;
}

}  // namespace

ui::LanguageTable& ProductTable() {
  static ui::LanguageTable table;
  return table;
}

void ProductInfo::Load() {
  const std::wstring path = L"resources\\product.ini";
  ui::LanguageTable& table = ProductTable();
  if (ui::IsPackageOpen()) {
    const ui::GlobalMemory block = ui::ReadPackageFile(path);
    if (block) table.LoadMemory(block.Get());
  } else {
    table.LoadFile(path);
  }
  brand_name_ = table.Lookup(L"BRAND_NAME");
  product_name_ = table.Lookup(L"PRODUCT_NAME");
  process_name_ = table.Lookup(L"PROCESS_NAME");
  analytics_category_ = table.Lookup(L"GA_EC");
  analytics_name_ = table.Lookup(L"GA_EN");
}

std::wstring ProductInfo::DefaultInstallFolder() const {
  return WithBackslashes(ProgramFilesFolder() + brand_name_ + L"\\" + brand_name_ + L" " +
                         product_name_);
}

void ProductInfo::SetInstallFolder(const std::wstring& text) {
  install_folder_ = NormaliseFolder(text);
}

std::wstring ProductInfo::ProductExecutablePath() const {
  return WithBackslashes(WithTrailingBackslash(install_folder_) + process_name_);
}

std::wstring ProductInfo::LanguageHandoverPath() const {
  const std::wstring cache = WithBackslashes(WithTrailingBackslash(install_folder_) + L"cache");
  CreateFolderShell(cache);
  return cache + L"\\language";
}
