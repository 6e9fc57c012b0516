#include "installer/base/language_catalogue.h"

#include <vector>

#include "installer/base/known_folders.h"
#include "installer/base/string_helpers.h"
#include "ui/core/language_table.h"
#include "ui/core/resource_package.h"

LanguageCatalogue::LanguageCatalogue() { AddFixedEntries(); }

void LanguageCatalogue::AddFixedEntries() {
  const LanguageEntry fixed[] = {
      {L"English", L"English", L"en"},
      {L"German", L"Deutsch", L"de"},
  };
  for (const LanguageEntry& entry : fixed) entries_.emplace(entry.folder_name, entry);
}

void LanguageCatalogue::SwitchLanguage(const std::wstring& folder_name) {
  const auto found = entries_.find(folder_name);
  if (found == entries_.end()) return;
  const std::wstring path = L"resources\\lang\\" + found->second.folder_name + L"\\gdstrings.ini";
  ui::LanguageTable& strings = ui::GlobalLanguageTable();
  if (ui::IsPackageOpen()) {
    const ui::GlobalMemory block = ui::ReadPackageFile(path);
    if (block) strings.LoadMemory(block.Get());
  } else {
    strings.LoadFile(path);
  }
  current_name_ = folder_name;
}

void LanguageCatalogue::SelectLanguageByCode(const std::wstring& code) {
  AddFixedEntries();
  if (code.empty()) return;
  for (const auto& item : entries_) {
    if (code.find(item.second.code) != std::wstring::npos) {
      SwitchLanguage(item.first);
      return;
    }
  }
}

std::wstring FileNameLanguageCode(const std::wstring& file_name) {
  const std::vector<std::wstring> dot_pieces = SplitText(file_name, L".");
  if (dot_pieces.size() != 2) return L"en";
  const std::vector<std::wstring> pieces = SplitText(dot_pieces[0], L"_");
  if (pieces.size() <= 2) return L"en";
  return pieces.back();
}

std::wstring FileNameLanguageCode() { return FileNameLanguageCode(ModuleFileName()); }
