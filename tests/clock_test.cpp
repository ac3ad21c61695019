// The real clock's one promise that a test can check without timing
// figures: a pause never ends early. (How late it ends is measured by the
// benchmark, not here.)
#include "engine/clock.h"

#include <gtest/gtest.h>

TEST(RealClock, PausesAreNeverShorterThanAsked) {
  Clock& clock = realClock();
  clock.uploadBegins();
  for (unsigned ms : {1u, 2u, 10u, 11u, 1u, 0u}) {
    const std::int64_t start = clock.nowMicros();
    clock.pause(ms);
    EXPECT_GE(clock.nowMicros() - start, static_cast<std::int64_t>(ms) * 1000) << ms << " ms";
  }
  clock.uploadEnds();
}

TEST(RealClock, TimeNeverGoesBack) {
  Clock& clock = realClock();
  std::int64_t last = clock.nowMicros();
  for (int i = 0; i < 10000; ++i) {
    const std::int64_t now = clock.nowMicros();
    ASSERT_GE(now, last);
    last = now;
  }
}
