#pragma once

#include <map>

#include "nbase/lock.h"

namespace nbase {

class FrameworkThread;

// Binds small integer identifiers to framework threads, process-wide. A
// thread registers itself from its Init and unregisters from its Cleanup.
class ThreadRegistry {
 public:
  ThreadRegistry(const ThreadRegistry&) = delete;
  ThreadRegistry& operator=(const ThreadRegistry&) = delete;

  // Binds the identifier to the calling framework thread. False for a
  // negative identifier, outside a framework thread, or when the identifier
  // is bound to another thread. Registering again on the same thread counts:
  // each registration needs its own UnregisterThread.
  static bool RegisterThread(int self_identifier);

  // Undoes one registration of the calling thread; the last one removes the
  // thread's identifiers. False outside a framework thread or when the
  // thread has nothing registered.
  static bool UnregisterThread();

 private:
  ThreadRegistry() = default;
  static ThreadRegistry& Instance();

  Lock lock_;
  std::map<int, FrameworkThread*> threads_;
};

}  // namespace nbase
