#pragma once

#include <windows.h>

#include <atomic>

#include "nbase/message_pump.h"

namespace nbase {

// Common part of the Windows pumps: run levels, the delayed wake time and the
// have-work word that keeps at most one wake-up outstanding.
class WinMessagePump : public MessagePump {
 public:
  WinMessagePump() = default;
  WinMessagePump(const WinMessagePump&) = delete;
  WinMessagePump& operator=(const WinMessagePump&) = delete;

  void Run(Delegate* delegate) override;
  void Quit() override;

 protected:
  // One record per nested Run.
  struct RunState {
    int run_depth = 1;
    bool should_quit = false;
    Delegate* delegate = nullptr;
  };

  virtual void DoRunLoop() = 0;

  // Milliseconds until the delayed wake time: -1 when there is none, 0 when
  // it has passed.
  int64_t GetCurrentDelay() const;

  RunState* state_ = nullptr;
  TickTime delayed_work_time_ = 0;
  // 1 while a wake-up is on its way; changed only by atomic exchange.
  std::atomic<int> have_work_{0};
};

}  // namespace nbase
