#include "nbase/tick_time.h"

#include <mmsystem.h>

#include <utility>

namespace nbase {

namespace {

TickClock::MillisecondSource MultimediaTimer() {
  return [] { return static_cast<uint32_t>(timeGetTime()); };
}

}  // namespace

TickClock::TickClock() : source_(MultimediaTimer()) {}

TickClock::TickClock(MillisecondSource source)
    : source_(source ? std::move(source) : MultimediaTimer()) {}

void TickClock::SetMillisecondSource(MillisecondSource source) {
  AutoLock lock(lock_);
  source_ = source ? std::move(source) : MultimediaTimer();
  last_reading_ = 0;
  rollover_offset_ = 0;
}

TickTime TickClock::Now() {
  AutoLock lock(lock_);
  const uint32_t reading = source_();
  if (reading < last_reading_) rollover_offset_ += int64_t{1} << 32;
  last_reading_ = reading;
  return (reading + rollover_offset_) * kTicksPerMillisecond;
}

TickClock& TickClock::Default() {
  // Never destroyed: any thread may read the clock while the process exits.
  static TickClock* const clock = new TickClock();
  return *clock;
}

}  // namespace nbase
