#include "nbase/thread_registry.h"

#include "nbase/thread_local_data.h"

namespace nbase {

ThreadRegistry& ThreadRegistry::Instance() {
  // Never destroyed: threads may still unregister while the process exits.
  static ThreadRegistry* const registry = new ThreadRegistry();
  return *registry;
}

bool ThreadRegistry::RegisterThread(int self_identifier) {
  ThreadLocalData* data = ThreadLocalData::Current();
  if (self_identifier < 0 || data == nullptr) return false;
  ThreadRegistry& registry = Instance();
  {
    AutoLock lock(registry.lock_);
    auto inserted = registry.threads_.emplace(self_identifier, data->owner);
    if (!inserted.second && inserted.first->second != data->owner) return false;
  }
  ++data->registration_count;
  data->registered_id = self_identifier;
  return true;
}

bool ThreadRegistry::UnregisterThread() {
  ThreadLocalData* data = ThreadLocalData::Current();
  if (data == nullptr || data->registration_count <= 0) return false;
  if (--data->registration_count > 0) return true;
  ThreadRegistry& registry = Instance();
  {
    AutoLock lock(registry.lock_);
    // Every identifier this thread bound goes, not only the last one: an
    // entry left behind would point at a thread that no longer exists and
    // keep its identifier taken.
    for (auto it = registry.threads_.begin(); it != registry.threads_.end();) {
      if (it->second == data->owner) {
        it = registry.threads_.erase(it);
      } else {
        ++it;
      }
    }
  }
  data->registered_id = -1;
  return true;
}

}  // namespace nbase
