#pragma once

#include <windows.h>

#include <atomic>

#include "nbase/scoped_handle.h"

namespace nbase {

// An OS thread running the object's Run. The destructor waits for the thread
// to end, so a derived class must make its Run return (and should wait in its
// own destructor, while its part of the object still exists).
class Thread {
 public:
  Thread() = default;
  virtual ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  // OS id of the thread while it runs; 0 otherwise.
  DWORD thread_id() const { return thread_id_.load(); }
  HANDLE thread_handle() const { return handle_.Get(); }

 protected:
  // The thread body.
  virtual void Run() {}

  // Starts an OS thread (C runtime start, default stack size) that calls Run.
  bool Create();
  // Waits for the OS thread to end, terminating it should the wait fail, and
  // closes its handle. Without a handle it only clears the id.
  void Join();
  void set_thread_id(DWORD id) { thread_id_.store(id); }

 private:
  static unsigned __stdcall ThreadEntry(void* thread);

  std::atomic<DWORD> thread_id_{0};
  ScopedHandle handle_;
};

}  // namespace nbase
