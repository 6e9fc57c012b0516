#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "nbase/scoped_handle.h"

// Builds a package file from part files while the parts are still being
// written: each CopyArrived call moves what has arrived of a part since the
// previous call to the part's place in the package, so that little is left to
// copy when the last part ends. The package file is created at its full size
// at once, which also claims its disk space before any part is fetched.
//
// A failure (the package cannot be created, a read or a write fails) is
// final: every later call returns false and the caller removes the package.
class PartJoiner {
 public:
  struct Part {
    std::wstring path;
    std::int64_t first = 0;   // offset of the part in the package
    std::int64_t length = 0;  // bytes the part must contribute
  };

  PartJoiner(const std::wstring& target, std::int64_t size, std::vector<Part> parts);
  PartJoiner(const PartJoiner&) = delete;
  PartJoiner& operator=(const PartJoiner&) = delete;

  bool ok() const { return ok_; }

  // Copies part `index` up to `available` bytes (those known to be written to
  // the part file), never beyond the part's length.
  bool CopyArrived(size_t index, std::int64_t available);
  // Copies whatever is left of every part and closes all files. True when
  // every part contributed exactly its length and the package has exactly the
  // size it was created with.
  bool Finish();

 private:
  bool Fail();

  struct Source {
    nbase::ScopedHandle file;
    std::int64_t copied = 0;
  };

  const std::int64_t size_;
  const std::vector<Part> parts_;
  std::vector<Source> sources_;
  nbase::ScopedHandle package_;
  std::vector<char> block_;
  bool ok_ = false;
};
