#include "nbase/message_loop_proxy.h"

#include <utility>

#include "nbase/message_loop.h"

namespace nbase {

MessageLoopProxy::MessageLoopProxy(MessageLoop* loop) : target_(loop) {
  // Create the flag now: the release may run on any thread.
  GetWeakFlag();
}

MessageLoopProxy::~MessageLoopProxy() = default;

std::shared_ptr<MessageLoopProxy> MessageLoopProxy::Create(MessageLoop* loop) {
  return std::shared_ptr<MessageLoopProxy>(new MessageLoopProxy(loop), &MessageLoopProxy::Release);
}

void MessageLoopProxy::Release(MessageLoopProxy* proxy) {
  // The loop holds a share until it has detached, so normally the target is
  // already gone here and the proxy is deleted at once. Should the last share
  // ever go while the loop lives, the proxy is deleted on the loop's thread.
  {
    AutoLock lock(proxy->lock_);
    MessageLoop* loop = proxy->target_;
    if (loop != nullptr && loop != MessageLoop::Current()) {
      // The task owns the proxy: it is deleted when the task has run, or when
      // the loop destroys the task unrun.
      std::shared_ptr<MessageLoopProxy> owner(proxy, [](MessageLoopProxy* p) { delete p; });
      loop->PostNonNestableTask(proxy->ToWeakCallback([owner = std::move(owner)] {}));
      return;
    }
  }
  delete proxy;
}

void MessageLoopProxy::DetachFromLoop() {
  AutoLock lock(lock_);
  target_ = nullptr;
}

bool MessageLoopProxy::PostTask(Task task) {
  AutoLock lock(lock_);
  if (target_ == nullptr) return false;
  target_->PostTask(std::move(task));
  return true;
}

bool MessageLoopProxy::PostDelayedTask(Task task, TickTime delay) {
  if (delay <= 0) return PostTask(std::move(task));
  AutoLock lock(lock_);
  if (target_ == nullptr) return false;
  target_->PostDelayedTask(std::move(task), delay);
  return true;
}

bool MessageLoopProxy::PostNonNestableTask(Task task) {
  AutoLock lock(lock_);
  if (target_ == nullptr) return false;
  target_->PostNonNestableTask(std::move(task));
  return true;
}

bool MessageLoopProxy::PostNonNestableDelayedTask(Task task, TickTime delay) {
  if (delay <= 0) return PostNonNestableTask(std::move(task));
  AutoLock lock(lock_);
  if (target_ == nullptr) return false;
  target_->PostNonNestableDelayedTask(std::move(task), delay);
  return true;
}

bool MessageLoopProxy::IsOnLoopThread() const {
  AutoLock lock(lock_);
  return target_ != nullptr && target_ == MessageLoop::Current();
}

}  // namespace nbase
