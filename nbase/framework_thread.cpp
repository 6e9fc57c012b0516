#include "nbase/framework_thread.h"

#include <utility>

#include "nbase/message_loop_proxy.h"
#include "nbase/thread_local_data.h"

namespace nbase {

FrameworkThread::FrameworkThread(const char* name)
    : startup_event_(CreateEventW(nullptr, FALSE, FALSE, nullptr)), name_(name ? name : "") {
  // Stop binds its task to this object from another thread; create the flag
  // now so that it is only ever read there.
  GetWeakFlag();
}

FrameworkThread::~FrameworkThread() { Stop(); }

bool FrameworkThread::Start() {
  if (running_.load() || message_loop_proxy()) return false;
  loop_kind_ = MessageLoop::kDefault;
  if (!Create()) return false;
  // Wait for Init to finish, or for the thread to end without getting there.
  const HANDLE handles[] = {startup_event_.Get(), thread_handle()};
  WaitForMultipleObjects(2, handles, FALSE, INFINITE);
  running_.store(true);
  return true;
}

void FrameworkThread::RunOnCurrentThread(int kind) {
  if (running_.load()) return;
  loop_kind_ = kind;
  running_.store(true);
  Run();
  running_.store(false);
}

void FrameworkThread::Stop() {
  if (!running_.load()) return;
  if (!stopping_.load()) {
    std::shared_ptr<MessageLoopProxy> proxy = message_loop_proxy();
    if (proxy) {
      stopping_.store(true);
      // Non-nestable and behind everything already queued: the loop quits
      // once it is idle at its outermost level.
      proxy->PostNonNestableTask(ToWeakCallback([] {
        if (MessageLoop* loop = MessageLoop::Current()) loop->Quit();
        if (ThreadLocalData* data = ThreadLocalData::Current()) data->quit = true;
      }));
    }
  }
  if (thread_id() == GetCurrentThreadId()) return;  // cannot wait for itself
  Join();
  running_.store(false);
  stopping_.store(false);
}

std::shared_ptr<MessageLoopProxy> FrameworkThread::message_loop_proxy() const {
  AutoLock lock(proxy_lock_);
  return proxy_;
}

void FrameworkThread::Run() {
  std::unique_ptr<ThreadLocalData> own_data;
  ThreadLocalData* data = ThreadLocalData::Current();
  if (data == nullptr) {
    own_data = std::make_unique<ThreadLocalData>();
    own_data->owner = this;
    data = own_data.get();
    ThreadLocalData::SetCurrent(data);
  }
  data->quit = false;
  set_thread_id(GetCurrentThreadId());

  // There is no I/O completion pump: kind 2 runs a default loop.
  if (loop_kind_ == MessageLoop::kUI) {
    message_loop_ = std::make_unique<UIMessageLoop>();
  } else {
    message_loop_ = std::make_unique<MessageLoop>();
  }
  {
    AutoLock lock(proxy_lock_);
    proxy_ = message_loop_->message_loop_proxy();
  }

  Init();
  SetEvent(startup_event_.Get());

  message_loop_->Run();

  Cleanup();

  {
    AutoLock lock(proxy_lock_);
    proxy_.reset();
  }
  message_loop_.reset();
  set_thread_id(0);
  if (own_data) ThreadLocalData::SetCurrent(nullptr);
}

}  // namespace nbase
