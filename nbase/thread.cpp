#include "nbase/thread.h"

#include <process.h>

namespace nbase {

Thread::~Thread() { Join(); }

bool Thread::Create() {
  unsigned id = 0;
  const uintptr_t handle = _beginthreadex(nullptr, 0, &Thread::ThreadEntry, this, 0, &id);
  // _beginthreadex reports failure as 0; 1 is no usable handle either.
  if (handle < 2) {
    handle_.Reset();
    thread_id_.store(0);
    return false;
  }
  handle_.Reset(reinterpret_cast<HANDLE>(handle));
  thread_id_.store(id);
  return true;
}

void Thread::Join() {
  // A thread cannot wait for its own end; it only lets go of its handle.
  const bool on_own_thread = thread_id_.load() == GetCurrentThreadId();
  if (handle_.IsValid() && !on_own_thread) {
    if (WaitForSingleObject(handle_.Get(), INFINITE) != WAIT_OBJECT_0) {
      TerminateThread(handle_.Get(), 0);
    }
  }
  handle_.Reset();
  thread_id_.store(0);
}

unsigned __stdcall Thread::ThreadEntry(void* thread) {
  static_cast<Thread*>(thread)->Run();
  return 0;  // ends the thread with exit code 0
}

}  // namespace nbase
