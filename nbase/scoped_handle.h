#pragma once

#include <windows.h>

#include <utility>

namespace nbase {

// Owns a kernel object handle and closes it once. Both 0 and
// INVALID_HANDLE_VALUE mean "none", since Win32 uses each as a failure value.
class ScopedHandle {
 public:
  ScopedHandle() = default;
  explicit ScopedHandle(HANDLE handle) : handle_(handle) {}
  ~ScopedHandle() { Close(); }

  ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.Take()) {}
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    if (this != &other) Reset(other.Take());
    return *this;
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;

  static bool IsValid(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
  bool IsValid() const { return IsValid(handle_); }
  explicit operator bool() const { return IsValid(); }
  HANDLE Get() const { return handle_; }

  // Gives up ownership without closing.
  HANDLE Take() { return std::exchange(handle_, nullptr); }

  void Reset(HANDLE handle = nullptr) {
    Close();
    handle_ = handle;
  }

 private:
  void Close() {
    if (IsValid()) CloseHandle(handle_);
    handle_ = nullptr;
  }

  HANDLE handle_ = nullptr;
};

}  // namespace nbase
