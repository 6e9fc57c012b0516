#include "ui/core/zip_archive.h"

#include <functional>

#include <gtest/gtest.h>

#include "tests/ui/core/zip_builder.h"
#include "ui/core/resource_package.h"

namespace {

using test_support::ZipBuilder;

std::string Text(const ui::GlobalMemory& block) {
  ui::GlobalMemoryLock lock(block.Get());
  if (!lock.data()) return "<unlockable>";
  return std::string(static_cast<const char*>(lock.data()), lock.size());
}

std::string Repetitive(size_t size) {
  std::string text;
  while (text.size() < size) text += "STRID_HOMEPAGE_INSTALL = Install Now\r\n";
  text.resize(size);
  return text;
}

TEST(ZipArchiveTest, ReadsStoredAndDeflatedMembers) {
  ZipBuilder builder;
  builder.Add("resources/stored.txt", "stored text", ZipBuilder::kStored);
  builder.Add("resources/deflated.ini", Repetitive(100000), ZipBuilder::kDeflated);
  const std::string bytes = builder.Build();

  ui::ResourcePackage package;
  ASSERT_TRUE(package.OpenFromMemory(bytes.data(), bytes.size()));
  EXPECT_EQ(Text(package.Read(L"resources\\stored.txt")), "stored text");
  const ui::GlobalMemory deflated = package.Read(L"resources/deflated.ini");
  EXPECT_EQ(deflated.Size(), 100000u);
  EXPECT_EQ(Text(deflated), Repetitive(100000));
  EXPECT_FALSE(package.Read(L"resources/missing.txt"));
  EXPECT_FALSE(package.Read(L""));
}

TEST(ZipArchiveTest, EmptyMembersGiveALockableBlock) {
  for (uint16_t method : {ZipBuilder::kStored, ZipBuilder::kDeflated}) {
    SCOPED_TRACE(method);
    ZipBuilder builder;
    builder.Add("resources/empty.txt", "", method);
    const std::string bytes = builder.Build();
    ui::ResourcePackage package;
    ASSERT_TRUE(package.OpenFromMemory(bytes.data(), bytes.size()));
    const ui::GlobalMemory block = package.Read(L"resources/empty.txt");
    ASSERT_TRUE(block);
    // One NUL byte: text readers stop at once.
    EXPECT_EQ(Text(block), std::string(1, '\0'));
  }
}

TEST(ZipArchiveTest, LookupFoldsAsciiLettersOnly) {
  ZipBuilder builder;
  builder.Add("resources/themes/default/public/checkbox/check_no.png", "box", ZipBuilder::kStored);
  builder.Add("resources/a.txt", "first", ZipBuilder::kStored);
  builder.Add("resources/A.TXT", "second", ZipBuilder::kStored);
  builder.Add("resources/\xC3\xA9t\xC3\xA9.txt", "summer", ZipBuilder::kStored);  // "été"
  builder.Add("resources/" + std::string(246, 'n'), "long", ZipBuilder::kStored);  // 256 bytes
  const std::string bytes = builder.Build();
  ui::ResourcePackage package;
  ASSERT_TRUE(package.OpenFromMemory(bytes.data(), bytes.size()));

  EXPECT_EQ(Text(package.Read(L"resources\\themes\\default\\public\\CheckBox\\check_no.png")),
            "box");
  EXPECT_EQ(Text(package.Read(L"RESOURCES/A.txt")), "first");  // the first match wins
  EXPECT_EQ(Text(package.Read(L"resources/\u00e9t\u00e9.txt")), "summer");
  EXPECT_FALSE(package.Read(L"resources/\u00c9T\u00c9.txt"));  // not an ASCII letter
  EXPECT_FALSE(package.Read(L"resources/" + std::wstring(246, L'n')));
}

TEST(ZipArchiveTest, ReadsAnArchiveWithACommentAndDataBeforeIt) {
  ZipBuilder builder;
  builder.Add("x.txt", "x", ZipBuilder::kDeflated);
  std::string bytes = builder.Build();
  // A comment that itself looks like the start of an end record.
  const std::string comment = "PK\x05\x06 not a record";
  ZipBuilder::Set16(&bytes, bytes.size() - 2, static_cast<uint16_t>(comment.size()));
  bytes += comment;
  ui::ZipArchive archive;
  ASSERT_TRUE(archive.Open(bytes.data(), bytes.size()));
  ASSERT_EQ(archive.members().size(), 1u);
  char out = 0;
  EXPECT_TRUE(archive.Extract(archive.members()[0], &out));
  EXPECT_EQ(out, 'x');
}

// Each case damages one field of a two-member archive. The reader must refuse
// the archive or the member, without reading outside the memory (the bytes
// live in a string of exactly the archive's size).
TEST(ZipArchiveTest, DamagedArchivesGiveNothing) {
  using Layout = ZipBuilder::Layout;
  struct Case {
    const char* what;
    std::function<void(std::string*, const Layout&)> damage;
    bool opens;  // the directory is still readable; the first member is not
  };
  const uint32_t kHuge = 0xFFFFFFF0u;
  const Case cases[] = {
      {"cut in half", [](std::string* b, const Layout&) { b->resize(b->size() / 2); }, false},
      {"end record cut", [](std::string* b, const Layout&) { b->pop_back(); }, false},
      {"directory cut",
       [](std::string* b, const Layout& l) { b->erase(l.directory + 10, l.end_record - l.directory - 10); },
       false},
      {"empty", [](std::string* b, const Layout&) { b->clear(); }, false},
      {"directory offset past the end",
       [&](std::string* b, const Layout& l) { ZipBuilder::Set32(b, l.end_record + 16, kHuge); }, false},
      {"directory offset one byte off",
       [](std::string* b, const Layout& l) {
         ZipBuilder::Set32(b, l.end_record + 16, static_cast<uint32_t>(l.directory + 1));
       },
       false},
      {"directory size past the end record",
       [](std::string* b, const Layout& l) { ZipBuilder::Set32(b, l.end_record + 12, 0x10000); }, false},
      {"more entries than the directory holds",
       [](std::string* b, const Layout& l) {
         ZipBuilder::Set16(b, l.end_record + 8, 3);
         ZipBuilder::Set16(b, l.end_record + 10, 3);
       },
       false},
      {"name longer than the directory",
       [](std::string* b, const Layout& l) { ZipBuilder::Set16(b, l.entries[1] + 28, 0xFFFF); }, false},
      {"spanned archive",
       [](std::string* b, const Layout& l) { ZipBuilder::Set16(b, l.end_record + 4, 1); }, false},
      {"deflated size claimed larger",
       [](std::string* b, const Layout& l) { ZipBuilder::Set32(b, l.entries[0] + 24, 60001); }, true},
      {"deflated size claimed smaller",
       [](std::string* b, const Layout& l) { ZipBuilder::Set32(b, l.entries[0] + 24, 59999); }, true},
      {"deflated size claimed huge",
       [&](std::string* b, const Layout& l) { ZipBuilder::Set32(b, l.entries[0] + 24, kHuge); }, true},
      {"compressed size reaching into the directory",
       [](std::string* b, const Layout& l) {
         ZipBuilder::Set32(b, l.entries[0] + 20, static_cast<uint32_t>(l.directory));
       },
       true},
      {"unsupported method",
       [](std::string* b, const Layout& l) { ZipBuilder::Set16(b, l.entries[0] + 10, 12); }, true},
      {"encrypted",
       [](std::string* b, const Layout& l) { ZipBuilder::Set16(b, l.entries[0] + 8, 1); }, true},
      {"local header offset past the data",
       [&](std::string* b, const Layout& l) { ZipBuilder::Set32(b, l.entries[0] + 42, kHuge); }, true},
      {"local header signature broken",
       [](std::string* b, const Layout& l) { (*b)[l.local_headers[0]] = 'X'; }, true},
      {"local extra field reaching into the directory",
       [](std::string* b, const Layout& l) { ZipBuilder::Set16(b, l.local_headers[0] + 28, 0xFFFF); },
       true},
      {"deflated data corrupted",
       [](std::string* b, const Layout& l) {
         for (size_t i = 0; i < 8; ++i) (*b)[l.local_headers[0] + 30 + 24 + i] ^= 0x5A;
       },
       true},
      {"checksum wrong",
       [](std::string* b, const Layout& l) { ZipBuilder::Set32(b, l.entries[0] + 16, 0x12345678); }, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ZipBuilder builder;
    builder.Add("resources/first.ini", Repetitive(60000), ZipBuilder::kDeflated);  // 19-byte name
    builder.Add("resources/second.txt", "intact", ZipBuilder::kStored);
    Layout layout;
    std::string bytes = builder.Build(&layout);
    c.damage(&bytes, layout);

    ui::ResourcePackage package;
    EXPECT_EQ(package.OpenFromMemory(bytes.data(), bytes.size()), c.opens);
    EXPECT_FALSE(package.Read(L"resources/first.ini"));
    if (c.opens) {
      EXPECT_EQ(Text(package.Read(L"resources/second.txt")), "intact");
    }
  }
}

}  // namespace
