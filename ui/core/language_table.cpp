#include "ui/core/language_table.h"

#include <vector>

#include "nbase/scoped_handle.h"
#include "nbase/string_conversion.h"
#include "ui/core/global_memory.h"
#include "ui/core/text_helpers.h"

namespace ui {

namespace {

bool ReadWholeFile(const std::wstring& path, std::string* bytes) {
  nbase::ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  char buffer[16384];
  DWORD read = 0;
  while (ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) {
    bytes->append(buffer, read);
  }
  return true;
}

}  // namespace

bool LanguageTable::LoadFile(const std::wstring& path) {
  entries_.clear();
  // The whole file is read and cut into lines like a package member, so
  // lines of any length survive and both sources give the same table.
  std::string bytes;
  if (!ReadWholeFile(path, &bytes)) return false;
  AddEntries(bytes);
  return true;
}

bool LanguageTable::LoadMemory(HGLOBAL block) {
  GlobalMemoryLock lock(block);
  if (lock.data()) AddEntries(std::string(static_cast<const char*>(lock.data()), lock.size()));
  return true;
}

void LanguageTable::AddEntries(const std::string& bytes) {
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = start;
    while (end < bytes.size() && bytes[end] != '\n' && bytes[end] != '\0') ++end;
    const std::wstring line = TrimText(nbase::Utf8ToWide(bytes.substr(start, end - start)));
    start = end + 1;
    if (line.empty()) continue;
    const std::vector<std::wstring> pieces = SplitText(line, L"=");
    if (pieces.size() != 2) continue;
    const std::wstring key = TrimText(pieces[0]);
    if (key.empty() || key.find(L';') != std::wstring::npos) continue;
    entries_[key] = TrimText(pieces[1]);
  }
}

std::wstring LanguageTable::Lookup(const std::wstring& id) const {
  if (id.empty()) return std::wstring();
  const auto found = entries_.find(id);
  if (found == entries_.end()) return std::wstring();
  std::wstring text = found->second;
  ReplaceAll(L"\\r", L"\r", &text);
  ReplaceAll(L"\\n", L"\n", &text);
  return text;
}

LanguageTable& GlobalLanguageTable() {
  static LanguageTable table;
  return table;
}

}  // namespace ui
