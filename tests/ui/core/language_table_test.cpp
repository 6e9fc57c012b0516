#include "ui/core/language_table.h"

#include <gtest/gtest.h>

#include "nbase/string_conversion.h"
#include "ui/core/global_memory.h"

namespace {

ui::GlobalMemory BlockOf(const std::string& bytes) {
  ui::GlobalMemory block(GlobalAlloc(GMEM_MOVEABLE, bytes.size()));
  ui::GlobalMemoryLock lock(block.Get());
  memcpy(lock.data(), bytes.data(), bytes.size());
  return block;
}

// A file in the temporary folder, removed again.
class TempFile {
 public:
  explicit TempFile(const std::string& bytes) {
    wchar_t folder[MAX_PATH] = {};
    wchar_t name[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"lt", 0, name);
    path_ = name;
    HANDLE file = CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
  }
  ~TempFile() { DeleteFileW(path_.c_str()); }
  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
};

struct Expected {
  const wchar_t* key;
  std::wstring value;  // empty: not in the table
};

struct FormatCase {
  const char* what;
  std::string text;
  std::vector<Expected> expected;
};

std::vector<FormatCase> FormatCases() {
  std::string umlauts;
  for (int i = 0; i < 3000; ++i) umlauts += "\xC3\xBC";  // 6000 bytes of "ü"
  return {
      {"key and value", "KEY = VALUE\n", {{L"KEY", L"VALUE"}}},
      {"empty value or key", "KEY=\n=VALUE\n", {{L"KEY", L""}, {L"VALUE", L""}}},
      {"runs of =", "KEY == VALUE\n", {{L"KEY", L"VALUE"}}},
      {"second = anywhere", "KEY = a=b\n", {{L"KEY", L""}}},
      {"comment key", ";KEY = text\n", {{L"KEY", L""}, {L";KEY", L""}}},
      {"semicolon in a value", "KEY = text ; note\n", {{L"KEY", L"text ; note"}}},
      {"escapes", "KEY = Line1\\nLine2\\r\\n\n", {{L"KEY", L"Line1\nLine2\r\n"}}},
      {"quotes are text", "KEY = \"quoted\"\n", {{L"KEY", L"\"quoted\""}}},
      {"trimming", "\t KEY \t=\t value\x01 \r\n", {{L"KEY", L"value"}}},
      {"case-sensitive keys", "Key = a\n", {{L"Key", L"a"}, {L"KEY", L""}}},
      {"later line wins", "K = one\nK = two\n", {{L"K", L"two"}}},
      {"byte-order mark",
       "\xEF\xBB\xBF" "FIRST = x\r\nSECOND = y\r\n",
       {{L"FIRST", L""}, {L"SECOND", L"y"}}},
      {"no final line break", "A = 1\nB = 2", {{L"A", L"1"}, {L"B", L"2"}}},
      {"NUL ends a line", std::string("A = 1\0B = 2\n", 12), {{L"A", L"1"}, {L"B", L"2"}}},
      {"broken UTF-8 line", "BAD = \xC3\nGOOD = y\n", {{L"BAD", L""}, {L"GOOD", L"y"}}},
      {"UTF-8 text", "STRID_HOMEPAGE_INVALID_PATH = Ung\xC3\xBCltiger Installationspfad.\n",
       {{L"STRID_HOMEPAGE_INVALID_PATH", L"Ung\u00fcltiger Installationspfad."}}},
      // Longer than any line buffer: a split inside a character would lose it.
      {"long line", "LONG = " + umlauts + "\nAFTER = z\n",
       {{L"LONG", std::wstring(3000, L'\u00fc')}, {L"AFTER", L"z"}}},
  };
}

// Every case gives the same table from a file and from a memory block.
TEST(LanguageTableTest, FormatFromFileAndMemory) {
  for (const FormatCase& c : FormatCases()) {
    SCOPED_TRACE(c.what);
    TempFile file(c.text);
    ui::LanguageTable from_file;
    ASSERT_TRUE(from_file.LoadFile(file.path()));
    ui::LanguageTable from_memory;
    const ui::GlobalMemory block = BlockOf(c.text);
    ASSERT_TRUE(from_memory.LoadMemory(block.Get()));
    for (const Expected& e : c.expected) {
      SCOPED_TRACE(nbase::WideToUtf8(e.key));
      EXPECT_EQ(from_file.Lookup(e.key), e.value);
      EXPECT_EQ(from_memory.Lookup(e.key), e.value);
    }
  }
}

TEST(LanguageTableTest, FileLoadReplacesMemoryLoadAdds) {
  ui::LanguageTable table;
  TempFile german("COMMON = Deutsch\nONLY_GERMAN = ja\n");
  TempFile english("COMMON = English\n");
  ASSERT_TRUE(table.LoadFile(german.path()));
  ASSERT_TRUE(table.LoadFile(english.path()));
  EXPECT_EQ(table.Lookup(L"COMMON"), L"English");
  EXPECT_EQ(table.Lookup(L"ONLY_GERMAN"), L"");

  const ui::GlobalMemory german_block = BlockOf("COMMON = Deutsch\nONLY_GERMAN = ja\n");
  const ui::GlobalMemory english_block = BlockOf("COMMON = English\n");
  table.LoadMemory(german_block.Get());
  table.LoadMemory(english_block.Get());
  EXPECT_EQ(table.Lookup(L"COMMON"), L"English");
  EXPECT_EQ(table.Lookup(L"ONLY_GERMAN"), L"ja");  // kept from the German load
}

TEST(LanguageTableTest, MissingFileEmptiesTheTable) {
  ui::LanguageTable table;
  const ui::GlobalMemory block = BlockOf("KEY = value\n");
  table.LoadMemory(block.Get());
  EXPECT_FALSE(table.LoadFile(L"C:\\no\\such\\folder\\gdstrings.ini"));
  EXPECT_EQ(table.Lookup(L"KEY"), L"");
  EXPECT_EQ(table.Lookup(L""), L"");
}

}  // namespace
