#pragma once

#include <utility>

// Owns one handle of the Windows Internet libraries and closes it once.
// WinINet and WinHTTP both call their handles HINTERNET (a void pointer) but
// close them with different functions. Traits::Close(handle) names the one to
// use; this header includes neither library so that both clients can use it.
template <typename Traits>
class ScopedInternetHandle {
 public:
  ScopedInternetHandle() = default;
  explicit ScopedInternetHandle(void* handle) : handle_(handle) {}
  ~ScopedInternetHandle() { Reset(); }

  ScopedInternetHandle(ScopedInternetHandle&& other) noexcept
      : handle_(std::exchange(other.handle_, nullptr)) {}
  ScopedInternetHandle& operator=(ScopedInternetHandle&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.handle_, nullptr));
    return *this;
  }
  ScopedInternetHandle(const ScopedInternetHandle&) = delete;
  ScopedInternetHandle& operator=(const ScopedInternetHandle&) = delete;

  void* Get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

  void Reset(void* handle = nullptr) {
    if (handle_) Traits::Close(handle_);
    handle_ = handle;
  }

 private:
  void* handle_ = nullptr;
};
