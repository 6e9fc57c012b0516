#pragma once

#include <map>
#include <string>

// A display language the installer offers.
struct LanguageEntry {
  std::wstring folder_name;   // folder under "lang\" and the picture folders
  std::wstring display_name;  // shown in the language list
  std::wstring code;          // matched against the code in the file name
};

// The offered languages (English and German) and the one in use. Switching
// loads the language's strings into the UI's language table, from the
// resource package when it is open, else from "resources\lang\<folder>\"
// under the working folder.
class LanguageCatalogue {
 public:
  LanguageCatalogue();

  const std::wstring& CurrentName() const { return current_name_; }

  // Loads the named language's strings and makes it current; an unknown
  // name changes nothing.
  void SwitchLanguage(const std::wstring& folder_name);

  // Switches to the first language, in folder-name order, whose code occurs
  // in `code` (case-sensitive). No match, or an empty code, switches nothing.
  void SelectLanguageByCode(const std::wstring& code);

  // A copy of the entries by folder name, for the language list.
  std::map<std::wstring, LanguageEntry> Entries() const { return entries_; }

 private:
  void AddFixedEntries();

  std::wstring current_name_ = L"English";
  std::map<std::wstring, LanguageEntry> entries_;
};

// The language code in an executable file name: the last "_" piece of a
// name with one dot, when it has more than two such pieces
// ("Tidewell_setup_de.exe" gives "de"); "en" otherwise.
std::wstring FileNameLanguageCode(const std::wstring& file_name);
// The same for the running executable.
std::wstring FileNameLanguageCode();
