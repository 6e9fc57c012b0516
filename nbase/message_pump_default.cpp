#include "nbase/message_pump_default.h"

namespace nbase {
namespace {

// Longest finite wait Win32 accepts (INFINITE is 0xFFFFFFFF).
constexpr TickTime kMaxWaitMilliseconds = 0xFFFFFFFE;

}  // namespace

DefaultMessagePump::DefaultMessagePump() : event_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

void DefaultMessagePump::Run(Delegate* delegate) {
  bool did_work = delegate->RunWork();
  for (;;) {
    if (should_quit_) break;
    did_work |= delegate->RunDelayedWork(&delayed_work_time_);
    if (should_quit_) break;
    if (!did_work) {
      did_work = delegate->RunIdleWork();
      if (should_quit_) break;
      if (!did_work) Wait();
    }
    did_work = delegate->RunWork();
  }
  should_quit_ = false;
}

void DefaultMessagePump::Wait() {
  if (delayed_work_time_ == 0) {
    WaitForSingleObject(event_.Get(), INFINITE);
    return;
  }
  const TickTime delay = delayed_work_time_ - NowTicks();
  if (delay <= 0) {
    delayed_work_time_ = 0;
    return;
  }
  TickTime milliseconds = (delay + kTicksPerMillisecond - 1) / kTicksPerMillisecond;
  if (milliseconds > kMaxWaitMilliseconds) milliseconds = kMaxWaitMilliseconds;
  WaitForSingleObject(event_.Get(), static_cast<DWORD>(milliseconds));
}

void DefaultMessagePump::Quit() { should_quit_ = true; }

void DefaultMessagePump::ScheduleWork() { SetEvent(event_.Get()); }

void DefaultMessagePump::ScheduleDelayedWork(TickTime run_time) { delayed_work_time_ = run_time; }

}  // namespace nbase
