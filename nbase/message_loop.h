#pragma once

#include <deque>
#include <memory>
#include <vector>

#include "nbase/lock.h"
#include "nbase/message_pump.h"
#include "nbase/observer_list.h"
#include "nbase/queued_task.h"
#include "nbase/tick_time.h"

namespace nbase {

class MessageLoopProxy;
class UIObserver;
class WinUIMessagePump;

// Told before and after every task the loop runs.
class TaskObserver {
 public:
  virtual ~TaskObserver() = default;
  virtual void WillProcessTask(const QueuedTask& task) = 0;
  virtual void DidProcessTask(const QueuedTask& task) = 0;
};

// Told when the loop is about to be destroyed (its pending tasks are gone).
class DestructionObserver {
 public:
  virtual ~DestructionObserver() = default;
  virtual void WillDestroyCurrentMessageLoop() = 0;
};

// Runs tasks posted to it, one at a time, on the thread that created it:
// immediate tasks in posting order, delayed tasks by run time and then by
// arrival. A loop registers itself as its thread's Current() for its
// lifetime; one loop per thread.
//
// The post operations may be called from any thread as long as the loop is
// alive; code that may outlive the loop posts through message_loop_proxy()
// instead. Everything else belongs to the loop's own thread.
//
// Nesting: while a task runs, the loop runs no other task, even if the task
// enters a modal loop (a message box) or runs the loop again. A run level
// entered outside a task (from a window procedure of a UI loop) runs nestable
// tasks; non-nestable ones wait until the outermost level is idle.
class MessageLoop : public MessagePump::Delegate {
 public:
  // kIO is accepted where a kind is chosen (FrameworkThread), but there is
  // no I/O completion pump: such a thread runs a default loop.
  enum Kind : int { kDefault = 0, kUI = 1, kIO = 2 };

  // A loop for worker threads (DefaultMessagePump).
  MessageLoop();
  ~MessageLoop() override;
  MessageLoop(const MessageLoop&) = delete;
  MessageLoop& operator=(const MessageLoop&) = delete;

  // The calling thread's loop, or null.
  static MessageLoop* Current();

  void PostTask(Task task);
  void PostNonNestableTask(Task task);
  // The delay is in microseconds (see kTicksPerMillisecond).
  void PostDelayedTask(Task task, TickTime delay);
  void PostNonNestableDelayedTask(Task task, TickTime delay);

  // Runs one run level until Quit (or, on a UI loop, WM_QUIT).
  void Run();
  // Ends the current run level the next time the loop is idle: tasks that are
  // already due run first. Does nothing outside Run.
  void Quit();

  bool IsNested() const;
  Kind kind() const { return kind_; }

  // A handle for posting from any thread that stays safe to use after the
  // loop is gone (posting then fails).
  std::shared_ptr<MessageLoopProxy> message_loop_proxy() const { return proxy_; }

  void AddTaskObserver(TaskObserver* observer) { task_observers_.AddObserver(observer); }
  void RemoveTaskObserver(TaskObserver* observer) { task_observers_.RemoveObserver(observer); }
  void AddDestructionObserver(DestructionObserver* observer);
  void RemoveDestructionObserver(DestructionObserver* observer);

 protected:
  MessageLoop(Kind kind, std::shared_ptr<MessagePump> pump);
  MessagePump* pump() const { return pump_.get(); }

 private:
  struct RunState {
    int run_depth = 1;
    bool quit_received = false;
  };

  // MessagePump::Delegate
  bool RunWork() override;
  bool RunDelayedWork(TickTime* next_time) override;
  bool RunIdleWork() override;

  virtual void AddToIncomingQueue(QueuedTask task);

  void ReloadWorkQueue();
  void AddToDelayedQueue(QueuedTask task);
  QueuedTask TakeDelayedHead();
  // Runs the task now if it may run in this run level, else defers it.
  bool RunOrDefer(QueuedTask& task);
  void RunTask(QueuedTask& task);
  bool DeletePendingTasks();

  const Kind kind_;
  RunState* state_ = nullptr;
  std::shared_ptr<MessagePump> pump_;
  bool nestable_tasks_allowed_ = true;

  // The only part other threads touch.
  Lock incoming_lock_;
  std::deque<QueuedTask> incoming_queue_;

  std::deque<QueuedTask> work_queue_;
  std::deque<QueuedTask> deferred_non_nestable_queue_;
  std::vector<QueuedTask> delayed_queue_;  // a heap ordered by DelayedTaskLater
  int64_t next_sequence_num_ = 0;
  TickTime recent_time_ = 0;

  ObserverList<TaskObserver> task_observers_;
  ObserverList<DestructionObserver> destruction_observers_;

  std::shared_ptr<MessageLoopProxy> proxy_;
};

// The loop of the UI thread: also retrieves and dispatches window messages
// (WinUIMessagePump). The loop ends on Quit or when WM_QUIT is retrieved.
class UIMessageLoop : public MessageLoop {
 public:
  UIMessageLoop();
  // Runs on the given pump, for example one that records what it does.
  explicit UIMessageLoop(std::shared_ptr<WinUIMessagePump> pump);

  void AddUIObserver(UIObserver* observer);
  void RemoveUIObserver(UIObserver* observer);

 private:
  WinUIMessagePump* ui_pump_;
};

}  // namespace nbase
