#include "nbase/tick_time.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

constexpr int64_t kWrap = int64_t{1} << 32;  // milliseconds per rollover

TEST(TickClockTest, ExtendsWrappingMillisecondsToSixtyFourBits) {
  struct Step {
    uint32_t reading;
    int64_t expected_milliseconds;
  };
  const std::vector<Step> steps = {
      {0xFFFFFFF0u, 0xFFFFFFF0},
      {0xFFFFFFF0u, 0xFFFFFFF0},        // equal reading: no rollover
      {0xFFFFFFFFu, 0xFFFFFFFF},
      {5, kWrap + 5},                   // wrapped
      {10, kWrap + 10},
      {3, 2 * kWrap + 3},               // wrapped again
      {0xFFFFFFFFu, 2 * kWrap + 0xFFFFFFFF},
  };
  size_t next = 0;
  nbase::TickClock clock([&steps, &next] { return steps[next].reading; });
  for (; next < steps.size(); ++next) {
    SCOPED_TRACE(next);
    EXPECT_EQ(clock.Now(), steps[next].expected_milliseconds * nbase::kTicksPerMillisecond);
  }
}

TEST(TickClockTest, DefaultClockIsMonotonicAndNonZero) {
  const nbase::TickTime first = nbase::NowTicks();
  const nbase::TickTime second = nbase::NowTicks();
  EXPECT_NE(first, 0);
  EXPECT_LE(first, second);
  EXPECT_EQ(first % nbase::kTicksPerMillisecond, 0);
}

}  // namespace
