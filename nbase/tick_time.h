#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>

#include "nbase/lock.h"

namespace nbase {

// Microseconds of a monotonic clock; 0 means "none". Delays given to the
// message loop use the same unit.
using TickTime = int64_t;

constexpr TickTime kTicksPerMillisecond = 1000;
constexpr TickTime kTicksPerSecond = 1000 * kTicksPerMillisecond;

// Extends a 32-bit millisecond counter, which wraps after about 49.7 days, to
// a 64-bit clock: whenever a reading is smaller than the previous one the
// offset grows by 2^32 ms. Readings and offset are kept under one lock, so
// concurrent callers never see the clock go backwards.
class TickClock {
 public:
  using MillisecondSource = std::function<uint32_t()>;

  // The default source is the multimedia timer (timeGetTime).
  TickClock();
  explicit TickClock(MillisecondSource source);
  TickClock(const TickClock&) = delete;
  TickClock& operator=(const TickClock&) = delete;

  TickTime Now();

  // Replaces the millisecond reading (an empty source restores the
  // multimedia timer) and starts rollover tracking afresh. Lets tests drive
  // time, including through the process-wide clock the message loops use.
  void SetMillisecondSource(MillisecondSource source);

  // The process-wide clock behind NowTicks.
  static TickClock& Default();

 private:
  Lock lock_;
  MillisecondSource source_;
  uint32_t last_reading_ = 0;
  int64_t rollover_offset_ = 0;  // in milliseconds
};

// Now of the process-wide clock.
inline TickTime NowTicks() { return TickClock::Default().Now(); }

}  // namespace nbase
