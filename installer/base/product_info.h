#pragma once

#include <string>

#include "ui/core/language_table.h"

// The product settings table ("resources\product.ini"), created on first use.
ui::LanguageTable& ProductTable();

// The installed product's names and where this run installs it.
class ProductInfo {
 public:
  // Loads the product settings from the resource package when it is open,
  // else from "resources\product.ini" under the working folder. Missing
  // settings give empty fields.
  void Load();

  const std::wstring& BrandName() const { return brand_name_; }
  const std::wstring& ProductName() const { return product_name_; }
  // Executable file name of the installed product.
  const std::wstring& ProcessName() const { return process_name_; }
  const std::wstring& AnalyticsCategory() const { return analytics_category_; }
  const std::wstring& AnalyticsName() const { return analytics_name_; }
  // Normalised, ending with one backslash; empty until the install starts.
  const std::wstring& InstallFolder() const { return install_folder_; }

  // <Program Files>\<brand>\<brand> <product>, without a trailing backslash.
  std::wstring DefaultInstallFolder() const;
  void SetInstallFolder(const std::wstring& text);
  // The installed product's executable in the install folder.
  std::wstring ProductExecutablePath() const;
  // <install folder>\cache\language, the file that hands the chosen language
  // to the installed product. Creates the cache folder.
  std::wstring LanguageHandoverPath() const;

 private:
  std::wstring brand_name_;
  std::wstring product_name_;
  std::wstring process_name_;
  std::wstring analytics_category_;
  std::wstring analytics_name_;
  std::wstring install_folder_;
};
