#pragma once

#include "nbase/message_pump.h"
#include "nbase/scoped_handle.h"

namespace nbase {

// Pump of worker threads: sleeps on an auto-reset event until work is
// scheduled or the next delayed task is due.
class DefaultMessagePump : public MessagePump {
 public:
  DefaultMessagePump();
  DefaultMessagePump(const DefaultMessagePump&) = delete;
  DefaultMessagePump& operator=(const DefaultMessagePump&) = delete;

  void Run(Delegate* delegate) override;
  void Quit() override;
  void ScheduleWork() override;
  void ScheduleDelayedWork(TickTime run_time) override;

 private:
  void Wait();

  ScopedHandle event_;
  bool should_quit_ = false;
  TickTime delayed_work_time_ = 0;
};

}  // namespace nbase
