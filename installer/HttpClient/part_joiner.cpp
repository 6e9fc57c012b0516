#include "installer/HttpClient/part_joiner.h"

#include <algorithm>
#include <utility>

namespace {

// Large blocks keep the number of system calls per copied byte small.
const size_t kCopyBlockSize = 1024 * 1024;

bool SeekTo(HANDLE file, std::int64_t offset) {
  LARGE_INTEGER position;
  position.QuadPart = offset;
  return SetFilePointerEx(file, position, nullptr, FILE_BEGIN) != FALSE;
}

}  // namespace

PartJoiner::PartJoiner(const std::wstring& target, std::int64_t size, std::vector<Part> parts)
    : size_(size), parts_(std::move(parts)), sources_(parts_.size()) {
  // A new file rather than a truncated one: on Linux file systems (under
  // Wine) closing a file that was truncated and rewritten waits for its
  // blocks to be allocated. A target that cannot be deleted fails here.
  DeleteFileW(target.c_str());
  package_.Reset(CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                             CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  ok_ = package_ && size_ >= 0 && SeekTo(package_.Get(), size_) &&
        SetEndOfFile(package_.Get()) != FALSE;
}

bool PartJoiner::Fail() {
  ok_ = false;
  return false;
}

bool PartJoiner::CopyArrived(size_t index, std::int64_t available) {
  if (!ok_ || index >= parts_.size()) return Fail();
  const Part& part = parts_[index];
  Source& source = sources_[index];
  const std::int64_t wanted = std::min(available, part.length);
  if (source.copied >= wanted) return true;

  if (!source.file) {
    // The part's writer still has the file open for writing, and may delete
    // it while we read.
    source.file.Reset(CreateFileW(part.path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!source.file) return Fail();
  }
  if (block_.empty()) block_.resize(kCopyBlockSize);
  if (!SeekTo(package_.Get(), part.first + source.copied)) return Fail();
  while (source.copied < wanted) {
    const DWORD chunk = static_cast<DWORD>(
        std::min<std::int64_t>(wanted - source.copied, static_cast<std::int64_t>(block_.size())));
    DWORD read = 0;
    if (!ReadFile(source.file.Get(), block_.data(), chunk, &read, nullptr)) return Fail();
    // Fewer bytes than announced: the rest comes with a later call.
    if (read == 0) break;
    DWORD written = 0;
    if (!WriteFile(package_.Get(), block_.data(), read, &written, nullptr) || written != read) {
      return Fail();
    }
    source.copied += read;
  }
  return true;
}

bool PartJoiner::Finish() {
  for (size_t i = 0; ok_ && i < parts_.size(); ++i) {
    if (!CopyArrived(i, parts_[i].length) || sources_[i].copied != parts_[i].length) Fail();
  }
  LARGE_INTEGER stored = {};
  if (ok_ && (!GetFileSizeEx(package_.Get(), &stored) || stored.QuadPart != size_)) Fail();
  sources_.clear();
  package_.Reset();
  return ok_;
}
