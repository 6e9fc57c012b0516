#pragma once

#include <windows.h>

#include <map>
#include <string>

namespace ui {

// Texts by identifier, read from UTF-8 files of "key = value" lines:
// - a line is an entry only when splitting it at "=" (runs of "=" count as
//   one, empty pieces dropped) gives exactly a key and a value;
// - key and value are trimmed (spaces and control characters below U+001E);
// - a key containing ";" is ignored, which makes ";" lines comments;
// - a later line replaces the value of an earlier one with the same key;
// - "\r" and "\n" written in a value become CR and LF when looked up.
// A byte-order mark is not skipped: it becomes part of the first line, which
// is why the files begin with a comment.
class LanguageTable {
 public:
  // Empties the table and loads the file. False when it cannot be read.
  bool LoadFile(const std::wstring& path);

  // Adds the entries of the text in a movable global memory block (all of
  // the block is text); existing keys not in the text are kept. The caller
  // still owns the block.
  bool LoadMemory(HGLOBAL block);

  // The text for `id`, or the empty string for an empty or unknown id.
  std::wstring Lookup(const std::wstring& id) const;

 private:
  // Cuts the bytes into lines at LF and NUL and adds each line's entry.
  void AddEntries(const std::string& bytes);

  std::map<std::wstring, std::wstring> entries_;
};

// The process's display-language strings, created on first use.
LanguageTable& GlobalLanguageTable();

}  // namespace ui
