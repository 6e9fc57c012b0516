#include "nbase/thread_local_data.h"

#include "nbase/thread_local_slot.h"

namespace nbase {
namespace {
ThreadLocalSlot g_thread_data_slot;
}  // namespace

ThreadLocalData* ThreadLocalData::Current() {
  return static_cast<ThreadLocalData*>(g_thread_data_slot.Get());
}

void ThreadLocalData::SetCurrent(ThreadLocalData* data) { g_thread_data_slot.Set(data); }

}  // namespace nbase
