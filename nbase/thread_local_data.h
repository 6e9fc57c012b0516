#pragma once

namespace nbase {

class FrameworkThread;

// Per-thread record of a framework thread, created by the thread body and
// reachable from anywhere on that thread through Current().
struct ThreadLocalData {
  FrameworkThread* owner = nullptr;
  // Set by the stop task and by a thread's own clean-up; cleared when the
  // thread body starts.
  bool quit = false;
  // How many times this thread registered an identifier, and the last one.
  int registration_count = 0;
  int registered_id = -1;

  // The calling thread's record, or null outside a framework thread body.
  static ThreadLocalData* Current();
  static void SetCurrent(ThreadLocalData* data);
};

}  // namespace nbase
