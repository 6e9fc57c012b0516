#include "nbase/tick_time.h"

#include <mmsystem.h>

#include <utility>

namespace nbase {

TickClock::TickClock() : source_([] { return static_cast<uint32_t>(timeGetTime()); }) {}

TickClock::TickClock(MillisecondSource source) : source_(std::move(source)) {}

TickTime TickClock::Now() {
  AutoLock lock(lock_);
  const uint32_t reading = source_();
  if (reading < last_reading_) rollover_offset_ += int64_t{1} << 32;
  last_reading_ = reading;
  return (reading + rollover_offset_) * kTicksPerMillisecond;
}

TickClock& TickClock::Default() {
  static TickClock clock;
  return clock;
}

}  // namespace nbase
