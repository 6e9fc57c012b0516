#include "nbase/message_loop.h"

#include <algorithm>
#include <utility>

#include "nbase/message_loop_proxy.h"
#include "nbase/message_pump_default.h"
#include "nbase/message_pump_ui.h"
#include "nbase/thread_local_slot.h"

namespace nbase {
namespace {

ThreadLocalSlot g_current_loop_slot;

// Tasks whose destructors post new tasks are destroyed in rounds; this bounds
// a chain that keeps reposting.
constexpr int kMaxDestructionRounds = 100;

}  // namespace

MessageLoop::MessageLoop() : MessageLoop(kDefault, std::make_shared<DefaultMessagePump>()) {}

MessageLoop::MessageLoop(Kind kind, std::shared_ptr<MessagePump> pump)
    : kind_(kind), pump_(std::move(pump)) {
  g_current_loop_slot.Set(this);
  proxy_ = MessageLoopProxy::Create(this);
}

MessageLoop::~MessageLoop() {
  // Pending tasks are destroyed unrun. Destroying one may post another, so
  // repeat until a round finds nothing.
  for (int round = 0; round < kMaxDestructionRounds; ++round) {
    DeletePendingTasks();
    ReloadWorkQueue();
    if (!DeletePendingTasks()) break;
  }

  destruction_observers_.Notify(
      [](DestructionObserver* observer) { observer->WillDestroyCurrentMessageLoop(); });

  // From here on posting through the proxy fails.
  proxy_->DetachFromLoop();
  proxy_.reset();

  if (g_current_loop_slot.Get() == this) g_current_loop_slot.Set(nullptr);
}

MessageLoop* MessageLoop::Current() { return static_cast<MessageLoop*>(g_current_loop_slot.Get()); }

void MessageLoop::PostTask(Task task) { AddToIncomingQueue(QueuedTask(std::move(task), 0, true)); }

void MessageLoop::PostNonNestableTask(Task task) {
  AddToIncomingQueue(QueuedTask(std::move(task), 0, false));
}

void MessageLoop::PostDelayedTask(Task task, TickTime delay) {
  AddToIncomingQueue(QueuedTask(std::move(task), NowTicks() + std::max<TickTime>(delay, 0), true));
}

void MessageLoop::PostNonNestableDelayedTask(Task task, TickTime delay) {
  AddToIncomingQueue(QueuedTask(std::move(task), NowTicks() + std::max<TickTime>(delay, 0), false));
}

void MessageLoop::AddToIncomingQueue(QueuedTask task) {
  if (!task.task) return;  // nothing to run
  std::shared_ptr<MessagePump> pump;
  {
    AutoLock lock(incoming_lock_);
    const bool was_empty = incoming_queue_.empty();
    incoming_queue_.push_back(std::move(task));
    // A non-empty queue means a wake-up is already on its way.
    if (!was_empty) return;
    // The task may make the loop go away as soon as the lock is released; the
    // reference keeps the pump alive for the call below.
    pump = pump_;
  }
  pump->ScheduleWork();
}

void MessageLoop::Run() {
  RunState state;
  state.run_depth = state_ != nullptr ? state_->run_depth + 1 : 1;
  RunState* previous = state_;
  state_ = &state;
  pump_->Run(this);
  state_ = previous;
}

void MessageLoop::Quit() {
  if (state_ != nullptr) state_->quit_received = true;
}

bool MessageLoop::IsNested() const { return state_ != nullptr && state_->run_depth > 1; }

void MessageLoop::AddDestructionObserver(DestructionObserver* observer) {
  destruction_observers_.AddObserver(observer);
}

void MessageLoop::RemoveDestructionObserver(DestructionObserver* observer) {
  destruction_observers_.RemoveObserver(observer);
}

void MessageLoop::ReloadWorkQueue() {
  // Only touch the lock when the thread has run out of local work, and then
  // take everything at once.
  if (!work_queue_.empty()) return;
  AutoLock lock(incoming_lock_);
  work_queue_.swap(incoming_queue_);
}

void MessageLoop::AddToDelayedQueue(QueuedTask task) {
  task.sequence_num = next_sequence_num_++;
  delayed_queue_.push_back(std::move(task));
  std::push_heap(delayed_queue_.begin(), delayed_queue_.end(), DelayedTaskLater());
}

QueuedTask MessageLoop::TakeDelayedHead() {
  std::pop_heap(delayed_queue_.begin(), delayed_queue_.end(), DelayedTaskLater());
  QueuedTask task = std::move(delayed_queue_.back());
  delayed_queue_.pop_back();
  return task;
}

bool MessageLoop::RunOrDefer(QueuedTask& task) {
  if (task.nestable || state_->run_depth == 1) {
    RunTask(task);
    return true;
  }
  deferred_non_nestable_queue_.push_back(std::move(task));
  return false;
}

void MessageLoop::RunTask(QueuedTask& task) {
  // A modal loop entered by the task must not run other tasks under it.
  nestable_tasks_allowed_ = false;
  task_observers_.Notify([&task](TaskObserver* observer) { observer->WillProcessTask(task); });
  task.task();
  task_observers_.Notify([&task](TaskObserver* observer) { observer->DidProcessTask(task); });
  nestable_tasks_allowed_ = true;
}

bool MessageLoop::RunWork() {
  if (!nestable_tasks_allowed_) return false;
  for (;;) {
    ReloadWorkQueue();
    if (work_queue_.empty()) return false;
    do {
      QueuedTask task = std::move(work_queue_.front());
      work_queue_.pop_front();
      if (task.run_time != 0) {
        const TickTime run_time = task.run_time;
        const int64_t sequence_num = next_sequence_num_;
        AddToDelayedQueue(std::move(task));
        // A new head moves the wake-up earlier.
        if (delayed_queue_.front().sequence_num == sequence_num) {
          pump_->ScheduleDelayedWork(run_time);
        }
      } else if (RunOrDefer(task)) {
        return true;
      }
    } while (!work_queue_.empty());
  }
}

bool MessageLoop::RunDelayedWork(TickTime* next_time) {
  if (!nestable_tasks_allowed_ || delayed_queue_.empty()) {
    recent_time_ = *next_time = 0;
    return false;
  }
  const TickTime run_time = delayed_queue_.front().run_time;
  // Read the clock only when the cached time says the head is not due yet,
  // so a burst of due tasks costs one reading.
  if (run_time > recent_time_) {
    recent_time_ = NowTicks();
    if (run_time > recent_time_) {
      *next_time = run_time;
      return false;
    }
  }
  QueuedTask task = TakeDelayedHead();
  if (!delayed_queue_.empty()) *next_time = delayed_queue_.front().run_time;
  return RunOrDefer(task);
}

bool MessageLoop::RunIdleWork() {
  if (state_->run_depth == 1 && !deferred_non_nestable_queue_.empty()) {
    QueuedTask task = std::move(deferred_non_nestable_queue_.front());
    deferred_non_nestable_queue_.pop_front();
    RunTask(task);
    return true;
  }
  if (state_->quit_received) pump_->Quit();
  return false;
}

bool MessageLoop::DeletePendingTasks() {
  bool found = !work_queue_.empty();
  while (!work_queue_.empty()) {
    QueuedTask task = std::move(work_queue_.front());
    work_queue_.pop_front();
    // Delayed tasks go through the delayed queue so that they are destroyed
    // in the order in which they would have run.
    if (task.run_time != 0) AddToDelayedQueue(std::move(task));
  }
  found |= !deferred_non_nestable_queue_.empty();
  while (!deferred_non_nestable_queue_.empty()) deferred_non_nestable_queue_.pop_front();
  found |= !delayed_queue_.empty();
  while (!delayed_queue_.empty()) TakeDelayedHead();
  return found;
}

UIMessageLoop::UIMessageLoop() : UIMessageLoop(std::make_shared<WinUIMessagePump>()) {}

UIMessageLoop::UIMessageLoop(std::shared_ptr<WinUIMessagePump> pump)
    : MessageLoop(kUI, pump ? pump : std::make_shared<WinUIMessagePump>()),
      ui_pump_(static_cast<WinUIMessagePump*>(MessageLoop::pump())) {}

void UIMessageLoop::AddUIObserver(UIObserver* observer) { ui_pump_->AddObserver(observer); }

void UIMessageLoop::RemoveUIObserver(UIObserver* observer) { ui_pump_->RemoveObserver(observer); }

}  // namespace nbase
