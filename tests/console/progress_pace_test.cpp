// A page hears of each line's progress at most ten times a second, and
// never misses the last figure before a line's state changes.
#include "console/progress_pace.h"

#include <gtest/gtest.h>

namespace {

TEST(ProgressPace, AtMostOnceAPeriodALine) {
  ProgressPace pace(2, 100);
  int sent = 0;
  // A figure every 10 ms for a second: ten go out, the first at once.
  for (std::int64_t ms = 0; ms < 1000; ms += 10) sent += pace.arrived(0, ms) ? 1 : 0;
  EXPECT_EQ(sent, 10);
  // The other line has its own pace.
  EXPECT_TRUE(pace.arrived(1, 995));
}

TEST(ProgressPace, AHeldFigureIsKnownUntilSent) {
  ProgressPace pace(1, 100);
  EXPECT_TRUE(pace.arrived(0, 0));
  EXPECT_FALSE(pace.held(0));
  EXPECT_FALSE(pace.arrived(0, 50));
  EXPECT_TRUE(pace.held(0));  // sent before the line's next state
  pace.shown(0, 60);
  EXPECT_FALSE(pace.held(0));
  EXPECT_FALSE(pace.arrived(0, 150));  // 90 ms after the last sent
  EXPECT_TRUE(pace.arrived(0, 160));
}

}  // namespace
