#pragma once

#include <windows.h>

#include <atomic>

namespace nbase {

// A process-wide thread-local pointer slot whose TLS index is allocated on
// first use. Instances are meant to be namespace-scope objects; the constexpr
// constructor makes them usable before any dynamic initialisation has run.
class ThreadLocalSlot {
 public:
  constexpr ThreadLocalSlot() = default;
  ThreadLocalSlot(const ThreadLocalSlot&) = delete;
  ThreadLocalSlot& operator=(const ThreadLocalSlot&) = delete;

  // The calling thread's value; null when never set or when no index could be
  // allocated.
  void* Get();
  void Set(void* value);

 private:
  enum State : int { kNotCreated = 0, kBeingCreated = 1, kReady = 2 };

  DWORD Index();

  std::atomic<int> state_{kNotCreated};
  DWORD index_ = TLS_OUT_OF_INDEXES;
};

}  // namespace nbase
