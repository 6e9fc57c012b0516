#include "nbase/thread_local_slot.h"

namespace nbase {

DWORD ThreadLocalSlot::Index() {
  if (state_.load(std::memory_order_acquire) == kReady) return index_;
  int expected = kNotCreated;
  if (state_.compare_exchange_strong(expected, kBeingCreated, std::memory_order_acq_rel)) {
    index_ = TlsAlloc();
    state_.store(kReady, std::memory_order_release);
    return index_;
  }
  // Another thread is allocating the index: it only takes a moment.
  while (state_.load(std::memory_order_acquire) != kReady) Sleep(0);
  return index_;
}

void* ThreadLocalSlot::Get() {
  const DWORD index = Index();
  if (index == TLS_OUT_OF_INDEXES) return nullptr;
  return TlsGetValue(index);
}

void ThreadLocalSlot::Set(void* value) {
  const DWORD index = Index();
  if (index == TLS_OUT_OF_INDEXES) return;
  TlsSetValue(index, value);
}

}  // namespace nbase
