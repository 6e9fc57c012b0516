#pragma once

#include <memory>

#include "nbase/lock.h"
#include "nbase/queued_task.h"
#include "nbase/tick_time.h"
#include "nbase/weak_callback.h"

namespace nbase {

class MessageLoop;

// Posts to a message loop from any thread, also after the loop is gone: the
// loop detaches its proxy before it is destroyed, and from then on every post
// returns false and destroys the task without running it.
//
// Obtained from MessageLoop::message_loop_proxy() (or
// FrameworkThread::message_loop_proxy()); shared ownership.
class MessageLoopProxy : public SupportWeakCallback {
 public:
  MessageLoopProxy(const MessageLoopProxy&) = delete;
  MessageLoopProxy& operator=(const MessageLoopProxy&) = delete;

  // False (and the task destroyed) when the loop is gone. A delay of 0 or
  // less posts an immediate task.
  bool PostTask(Task task);
  bool PostDelayedTask(Task task, TickTime delay);
  bool PostNonNestableTask(Task task);
  bool PostNonNestableDelayedTask(Task task, TickTime delay);

  // True on the thread of the loop while the loop exists.
  bool IsOnLoopThread() const;

 private:
  friend class MessageLoop;

  explicit MessageLoopProxy(MessageLoop* loop);
  ~MessageLoopProxy() override;

  static std::shared_ptr<MessageLoopProxy> Create(MessageLoop* loop);
  // Deleter of the shared ownership: deletes on the loop's thread.
  static void Release(MessageLoopProxy* proxy);

  void DetachFromLoop();

  mutable Lock lock_;
  MessageLoop* target_;
};

}  // namespace nbase
