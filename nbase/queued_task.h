#pragma once

#include <cstdint>
#include <functional>
#include <utility>

#include "nbase/tick_time.h"

namespace nbase {

// A unit of work for a message loop. Usually a WeakCallback, so that a task
// bound to an object does nothing once that object is gone.
using Task = std::function<void()>;

struct QueuedTask {
  QueuedTask() = default;
  QueuedTask(Task task_in, TickTime run_time_in, bool nestable_in)
      : run_time(run_time_in), nestable(nestable_in), task(std::move(task_in)) {}

  // When the task becomes due; 0 = as soon as possible.
  TickTime run_time = 0;
  // Arrival order in the delayed queue; breaks ties between equal run times.
  int64_t sequence_num = 0;
  // A non-nestable task runs only in the outermost run level.
  bool nestable = true;
  Task task;
};

// Heap order of the delayed queue (std::push_heap keeps the "largest" first):
// the head is the earliest run time, and among equal run times the task that
// entered the queue first.
struct DelayedTaskLater {
  bool operator()(const QueuedTask& a, const QueuedTask& b) const {
    if (a.run_time != b.run_time) return a.run_time > b.run_time;
    return a.sequence_num > b.sequence_num;
  }
};

}  // namespace nbase
