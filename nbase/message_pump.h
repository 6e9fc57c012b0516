#pragma once

#include "nbase/tick_time.h"

namespace nbase {

// Waits for work on behalf of a message loop and calls back into it. One
// implementation per loop kind: DefaultMessagePump (an event),
// WinUIMessagePump (window messages).
class MessagePump {
 public:
  // Implemented by the message loop.
  class Delegate {
   public:
    virtual ~Delegate() = default;
    // Runs at most one immediate task; true if it did.
    virtual bool RunWork() = 0;
    // Runs at most one due delayed task; stores the run time of the next
    // delayed task in *next_time (0 when there is none).
    virtual bool RunDelayedWork(TickTime* next_time) = 0;
    // Called when nothing else is to do; ends the loop when it was asked to.
    virtual bool RunIdleWork() = 0;
  };

  virtual ~MessagePump() = default;

  // Runs until Quit is called from inside the run.
  virtual void Run(Delegate* delegate) = 0;
  virtual void Quit() = 0;
  // May be called from any thread: makes the pump call RunWork soon.
  virtual void ScheduleWork() = 0;
  // Called on the loop's thread: makes the pump call RunDelayedWork by then.
  virtual void ScheduleDelayedWork(TickTime run_time) = 0;
};

}  // namespace nbase
