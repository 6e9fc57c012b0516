#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "nbase/framework_thread.h"
#include "nbase/message_loop.h"
#include "nbase/message_loop_proxy.h"
#include "nbase/scoped_handle.h"
#include "nbase/tick_time.h"

namespace nbase_test {

// Bound for waits on things that should take milliseconds.
constexpr DWORD kLongWaitMilliseconds = 30000;

class Event {
 public:
  Event() : handle_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  void Signal() { SetEvent(handle_.Get()); }
  bool Wait(DWORD milliseconds = kLongWaitMilliseconds) {
    return WaitForSingleObject(handle_.Get(), milliseconds) == WAIT_OBJECT_0;
  }

 private:
  nbase::ScopedHandle handle_;
};

// Captured by a task to observe when the task (every copy of it) is destroyed.
class DestructionCounter {
 public:
  explicit DestructionCounter(std::atomic<int>* count, std::function<void()> on_destroy = nullptr)
      : count_(count), on_destroy_(std::move(on_destroy)) {}
  ~DestructionCounter() {
    ++*count_;
    if (on_destroy_) on_destroy_();
  }

 private:
  std::atomic<int>* count_;
  std::function<void()> on_destroy_;
};

// Freezes the process-wide clock at a chosen millisecond value for the scope.
class ScopedFakeClock {
 public:
  explicit ScopedFakeClock(uint32_t milliseconds)
      : now_(std::make_shared<std::atomic<uint32_t>>(milliseconds)) {
    auto now = now_;
    nbase::TickClock::Default().SetMillisecondSource([now] { return now->load(); });
  }
  ~ScopedFakeClock() { nbase::TickClock::Default().SetMillisecondSource(nullptr); }
  void Set(uint32_t milliseconds) { now_->store(milliseconds); }

 private:
  std::shared_ptr<std::atomic<uint32_t>> now_;
};

// Runs one level of the loop until it is quit. A loop that never quits fails
// the test after a generous time instead of hanging (real clock only).
inline void RunLoopWithTimeout(nbase::MessageLoop& loop, bool* timed_out) {
  *timed_out = false;
  loop.PostDelayedTask(
      [timed_out] {
        *timed_out = true;
        nbase::MessageLoop::Current()->Quit();
      },
      nbase::TickTime{kLongWaitMilliseconds} * nbase::kTicksPerMillisecond);
  loop.Run();
}

// Runs the callable on the thread's loop and waits until it has run.
inline bool RunOnThread(nbase::FrameworkThread& thread, std::function<void()> callable) {
  auto done = std::make_shared<Event>();
  auto proxy = thread.message_loop_proxy();
  if (!proxy || !proxy->PostTask([callable, done] {
        callable();
        done->Signal();
      })) {
    return false;
  }
  return done->Wait();
}

// Removes a WM_QUIT left in the calling thread's queue; returns its exit code
// or -1 when there was none.
inline int TakeQuitMessage() {
  int code = -1;
  MSG message;
  while (PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    code = static_cast<int>(message.wParam);
  }
  return code;
}

// A framework thread for tests: a worker with an idle default loop.
class WorkerThread : public nbase::FrameworkThread {
 public:
  explicit WorkerThread(const char* name = "test worker") : FrameworkThread(name) {}
  ~WorkerThread() override { Stop(); }
};

}  // namespace nbase_test
