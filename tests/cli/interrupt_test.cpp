// What a stop request (the handlers' one action, on POSIX and Windows alike)
// does to the lines: every watched line is asked to stop, a line no longer
// watched is left alone, and a line watched after the request starts stopped.
#include "cli/interrupt.h"

#include <gtest/gtest.h>

#include <memory>

#include "engine/line.h"
#include "session/stop_requests.h"

TEST(Interrupt, AStopRequestReachesTheWatchedLinesOnly) {
  auto a = std::make_unique<Line>(), b = std::make_unique<Line>(), gone = std::make_unique<Line>();
  { WatchedLine watchGone(*gone); }
  WatchedLine watchA(*a), watchB(*b);
  EXPECT_EQ(watchedLines(), 2);
  ASSERT_FALSE(interruptRequested());
  requestInterrupt();  // once only: a second request ends the process
  EXPECT_TRUE(interruptRequested());
  EXPECT_TRUE(a->stopRequested);
  EXPECT_TRUE(b->stopRequested);
  EXPECT_FALSE(gone->stopRequested);
  auto late = std::make_unique<Line>();
  WatchedLine watchLate(*late);
  EXPECT_TRUE(late->stopRequested);
}
