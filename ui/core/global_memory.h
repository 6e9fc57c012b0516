#pragma once

#include <windows.h>

#include <utility>

namespace ui {

// Owns a movable global memory block (GlobalAlloc) and frees it once.
class GlobalMemory {
 public:
  GlobalMemory() = default;
  explicit GlobalMemory(HGLOBAL block) : block_(block) {}
  ~GlobalMemory() { Reset(); }
  GlobalMemory(GlobalMemory&& other) noexcept : block_(other.Release()) {}
  GlobalMemory& operator=(GlobalMemory&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  GlobalMemory(const GlobalMemory&) = delete;
  GlobalMemory& operator=(const GlobalMemory&) = delete;

  HGLOBAL Get() const { return block_; }
  explicit operator bool() const { return block_ != nullptr; }
  size_t Size() const { return block_ ? GlobalSize(block_) : 0; }

  // Hands the block to a new owner (for example a stream that frees it).
  HGLOBAL Release() { return std::exchange(block_, nullptr); }

  void Reset(HGLOBAL block = nullptr) {
    if (block_) GlobalFree(block_);
    block_ = block;
  }

 private:
  HGLOBAL block_ = nullptr;
};

// Locks a movable block for the scope. `data()` is null when locking failed.
class GlobalMemoryLock {
 public:
  explicit GlobalMemoryLock(HGLOBAL block)
      : block_(block), data_(block ? GlobalLock(block) : nullptr) {}
  ~GlobalMemoryLock() {
    if (data_) GlobalUnlock(block_);
  }
  GlobalMemoryLock(const GlobalMemoryLock&) = delete;
  GlobalMemoryLock& operator=(const GlobalMemoryLock&) = delete;

  void* data() const { return data_; }
  size_t size() const { return data_ ? GlobalSize(block_) : 0; }

 private:
  HGLOBAL block_;
  void* data_;
};

}  // namespace ui
