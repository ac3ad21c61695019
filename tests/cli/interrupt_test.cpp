// What a stop request (the handlers' one action, on POSIX and Windows alike)
// does: it is counted, and touches no line (a session watching the count
// stops its own lines; the signal tests run that end to end); the open lines
// are counted for the Windows console handler, and a line watched after the
// request starts stopped.
#include "cli/interrupt.h"

#include <gtest/gtest.h>

#include <memory>

#include "engine/line.h"
#include "session/stop_requests.h"

TEST(Interrupt, AStopRequestIsCountedAndStopsLinesWatchedAfterIt) {
  auto a = std::make_unique<Line>(), b = std::make_unique<Line>(), gone = std::make_unique<Line>();
  { WatchedLine watchGone(*gone); }
  WatchedLine watchA(*a), watchB(*b);
  EXPECT_EQ(watchedLines(), 2);
  ASSERT_FALSE(interruptRequested());
  requestInterrupt();  // once only: a second request ends the process
  EXPECT_TRUE(interruptRequested());
  EXPECT_FALSE(a->stopRequested);  // a handler never writes to a line another thread may free
  EXPECT_FALSE(gone->stopRequested);
  auto late = std::make_unique<Line>();
  WatchedLine watchLate(*late);
  EXPECT_TRUE(late->stopRequested);
}
