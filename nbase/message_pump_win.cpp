#include "nbase/message_pump_win.h"

namespace nbase {

void WinMessagePump::Run(Delegate* delegate) {
  RunState state;
  state.run_depth = state_ != nullptr ? state_->run_depth + 1 : 1;
  state.delegate = delegate;
  RunState* previous = state_;
  state_ = &state;
  DoRunLoop();
  state_ = previous;
}

void WinMessagePump::Quit() {
  if (state_ != nullptr) state_->should_quit = true;
}

int64_t WinMessagePump::GetCurrentDelay() const {
  if (delayed_work_time_ == 0) return -1;
  // Rounded up, so that the wait does not end just before the task is due.
  const TickTime remaining = delayed_work_time_ - NowTicks();
  if (remaining <= 0) return 0;
  return (remaining + kTicksPerMillisecond - 1) / kTicksPerMillisecond;
}

}  // namespace nbase
