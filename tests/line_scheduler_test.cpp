// The scheduler of many lines on virtual time: every pause kept exactly,
// lines of different pace and start side by side, groups spread over the
// pause, a line that fails or is stopped ending alone, the lines of one
// network node staggered so that its packets leave a gap apart. Whole
// uploads of 64 lines run in milliseconds.
#include "engine/line_scheduler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "drivers/sim.h"
#include "engine/line.h"
#include "engine/node_spacing.h"
#include "engine/program.h"
#include "engine/wake_watch.h"
#include "profiles/profiles.h"
#include "tests/support/stand_ins.h"

namespace {

// Virtual time; `at` runs once when the time first reaches `when`.
class TestClock final : public Clock {
 public:
  void pause(unsigned ms) override { advance(now + std::int64_t{ms} * 1000); }
  std::int64_t nowMicros() override { return now; }
  void pauseUntil(std::int64_t deadline) override { advance(deadline); }
  void waitUntil(std::int64_t deadline, std::condition_variable&,
                 std::unique_lock<std::mutex>&) override {
    advance(deadline);
  }
  void spinUntil(std::int64_t deadline) override { advance(deadline); }

  std::int64_t now = 5'000'000;
  std::int64_t when = -1;
  std::function<void()> at;

 private:
  void advance(std::int64_t to) {
    if (to > now) now = to;
    if (at && when >= 0 && now >= when) std::exchange(at, nullptr)();
  }
};

struct TestLine {
  std::unique_ptr<sim::SimAdapter> adapter = std::make_unique<sim::SimAdapter>();
  std::unique_ptr<Line> line = std::make_unique<Line>();
  std::vector<std::uint8_t> image;
  std::unique_ptr<LinePhase> phase;
  QuietOperator op;
  LogCollector log;
  unsigned pace = 0;

  // Opens the line and makes its phase (nothing sent yet).
  void open(Clock& clock, bool fast, std::size_t bytes) {
    image.assign(bytes, 0x42);
    lineUseProfile(*line, *findProfile("v1.2"));
    std::snprintf(line->szFile, sizeof line->szFile, "image.bin");
    line->imageGiven = true;
    line->givenImage = image.data();
    line->givenSize = image.size();
    line->checked = fast;
    line->address = 1;
    line->adapter = adapter.get();
    line->op = &op;
    line->log = &log;
    line->clock = &clock;
    int result = 0;
    ASSERT_TRUE(uploadStart(*line, result, pace));
    phase = std::make_unique<LinePhase>(*line, pace);
  }
  std::vector<std::int64_t> writeTimes() const {
    std::vector<std::int64_t> t;
    for (const sim::Record& r : adapter->record())
      if (r.call == sim::Call::write) t.push_back(r.micros);
    return t;
  }
};

// Sends of the data phase for an image of `frames` frames under v1.2: ten
// each, and thirty more for each of the first two.
std::size_t dataSends(std::size_t frames) {
  return 10 * frames + 30 * std::min<std::size_t>(frames, 2);
}

// Every gap is its pause exactly: 10 ms in the reset burst, 10 ms and 1 s after
// its last send, the pace after each data send.
void expectExactPauses(const TestLine& l, std::size_t dataSends) {
  const std::vector<std::int64_t> t = l.writeTimes();
  ASSERT_EQ(t.size(), 10 + dataSends);
  for (std::size_t i = 1; i < t.size(); ++i) {
    const std::int64_t want = i < 10 ? 10'000 : i == 10 ? 1'010'000 : std::int64_t{l.pace} * 1000;
    ASSERT_EQ(t[i] - t[i - 1], want) << "gap " << i;
  }
}

TEST(LineScheduler, SixtyFourLinesKeepEveryPauseAndSpreadInGroups) {
  TestClock clock;
  std::vector<TestLine> lines(64);
  LineScheduler scheduler(clock, LineScheduler::Mode::callerThread);
  for (TestLine& l : lines) {
    l.open(clock, true, 640);  // 10 frames
    scheduler.add(*l.phase, clock.now);
  }
  scheduler.runAll();
  std::map<std::int64_t, int> firstSends;
  for (TestLine& l : lines) {
    EXPECT_EQ(uploadFinish(*l.line, l.phase->outcome()), uploadDone);
    expectExactPauses(l, dataSends(10));
    ++firstSends[l.writeTimes().front()];
  }
  EXPECT_EQ(firstSends.size(), LineScheduler::kGroups);
  for (const auto& [at, count] : firstSends)
    EXPECT_EQ(count, static_cast<int>(LineScheduler::kGroupSize)) << at;
}

TEST(LineScheduler, LinesOfDifferentPaceAndStartEachKeepTheirOwn) {
  TestClock clock;
  std::vector<TestLine> lines(6);
  LineScheduler scheduler(clock, LineScheduler::Mode::callerThread);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    lines[i].open(clock, i % 2 == 0, 64 * (i + 1));
    scheduler.add(*lines[i].phase, clock.now + static_cast<std::int64_t>(i) * 3'700);
  }
  scheduler.runAll();
  for (std::size_t i = 0; i < lines.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(uploadFinish(*lines[i].line, lines[i].phase->outcome()), uploadDone);
    expectExactPauses(lines[i], dataSends(i + 1));
  }
}

TEST(LineScheduler, ALineThatFailsOrIsStoppedEndsAloneAndTheOthersRunOn) {
  TestClock clock;
  std::vector<TestLine> lines(16);
  LineScheduler scheduler(clock, LineScheduler::Mode::callerThread);
  lines[3].adapter->settings().failWritesFrom = 30;
  for (TestLine& l : lines) {
    l.open(clock, true, 640);
    scheduler.add(*l.phase, clock.now);
  }
  clock.when = clock.now + 2'000'000;  // in the data phase, its third frame
  clock.at = [&] { lines[7].line->stopRequested = true; };
  scheduler.runAll();
  EXPECT_EQ(uploadFinish(*lines[3].line, lines[3].phase->outcome()), uploadLinkFailed);
  EXPECT_EQ(uploadFinish(*lines[7].line, lines[7].phase->outcome()), uploadStopped);
  EXPECT_GT(lines[7].line->deliveredBytes, 0);
  EXPECT_LT(lines[7].line->deliveredBytes, 640);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i == 3 || i == 7) continue;
    EXPECT_EQ(uploadFinish(*lines[i].line, lines[i].phase->outcome()), uploadDone) << i;
    expectExactPauses(lines[i], dataSends(10));
  }
}

// Every send of the lines, by time, for the lines of one node.
std::vector<std::int64_t> sendsOf(const std::vector<TestLine>& lines, std::size_t from,
                                  std::size_t count) {
  std::vector<std::int64_t> all;
  for (std::size_t i = from; i < from + count; ++i) {
    const std::vector<std::int64_t> t = lines[i].writeTimes();
    all.insert(all.end(), t.begin(), t.end());
  }
  std::sort(all.begin(), all.end());
  return all;
}

std::int64_t shortestGap(const std::vector<std::int64_t>& sorted) {
  std::int64_t least = INT64_MAX;
  for (std::size_t i = 1; i < sorted.size(); ++i)
    least = std::min(least, sorted[i] - sorted[i - 1]);
  return least;
}

TEST(LineScheduler, LinesOfOneNodeAreStaggeredAGapApartAndKeepEveryPauseExactly) {
  TestClock clock;
  // Two nodes of 16 universes each, and 8 lines of no node.
  std::vector<TestLine> lines(40);
  LineScheduler scheduler(clock, LineScheduler::Mode::callerThread);
  scheduler.spaceNodes(100);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    lines[i].open(clock, true, 640);
    const std::optional<std::uint32_t> node =
        i < 32 ? std::optional<std::uint32_t>(0x7F000002 + i / 16) : std::nullopt;
    scheduler.add(*lines[i].phase, clock.now, node);
  }
  scheduler.runAll();
  std::map<std::int64_t, int> firstSends;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(uploadFinish(*lines[i].line, lines[i].phase->outcome()), uploadDone);
    // Staggered once, at the start: no pause longer than asked, so the data
    // phase takes its nominal time.
    expectExactPauses(lines[i], dataSends(10));
    if (i < 32) ++firstSends[lines[i].writeTimes().front()];
  }
  for (std::size_t node = 0; node < 2; ++node)
    EXPECT_GE(shortestGap(sendsOf(lines, node * 16, 16)), 100) << "node " << node;
  // Spread evenly over the 10 ms of the reset burst's pause, one line of
  // each node at each place: one wake-up serves both nodes.
  ASSERT_EQ(firstSends.size(), 16u);
  for (const auto& [at, count] : firstSends) EXPECT_EQ(count, 2) << at;
  EXPECT_EQ(std::prev(firstSends.end())->first - firstSends.begin()->first, 15 * 625);
}

TEST(LineScheduler, ANodeWithMoreLinesThanFitInAPauseGetsItsPacketsAGapApartAllTheSame) {
  TestClock clock;
  // 60 lines x 200 µs: 12 ms a round, more than the 10 ms and 11 ms pauses.
  std::vector<TestLine> lines(60);
  LineScheduler scheduler(clock, LineScheduler::Mode::callerThread);
  scheduler.spaceNodes(200);
  for (TestLine& l : lines) {
    l.open(clock, true, 320);  // 5 frames
    scheduler.add(*l.phase, clock.now, 0x0A000005);
  }
  scheduler.runAll();
  const std::vector<std::int64_t> all = sendsOf(lines, 0, lines.size());
  EXPECT_GE(shortestGap(all), 200);
  const double stretch = nodeStretch(lines.size(), 200, 11'000);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(uploadFinish(*lines[i].line, lines[i].phase->outcome()), uploadDone);
    const std::vector<std::int64_t> t = lines[i].writeTimes();
    ASSERT_EQ(t.size(), 10 + dataSends(5));
    for (std::size_t k = 1; k < t.size(); ++k) {
      const std::int64_t asked = k < 10 ? 10'000 : k == 10 ? 1'010'000 : 11'000;
      ASSERT_GE(t[k] - t[k - 1], asked) << "gap " << k;
    }
    // The data phase takes what the node's round asks, as nodeStretch says.
    const double phase = static_cast<double>(t.back() - t[10] + 11'000);
    const double nominal = static_cast<double>(t.size() - 10) * 11'000;
    EXPECT_NEAR(phase / nominal, stretch, 0.01);
  }
}

TEST(LineScheduler, WithoutAGapTheLinesOfOneNodeGoInGroups) {
  TestClock clock;
  std::vector<TestLine> lines(32);
  LineScheduler scheduler(clock, LineScheduler::Mode::callerThread);
  scheduler.spaceNodes(0);
  for (TestLine& l : lines) {
    l.open(clock, true, 64);
    scheduler.add(*l.phase, clock.now, 0x7F000002);
  }
  scheduler.runAll();
  std::map<std::int64_t, int> firstSends;
  for (TestLine& l : lines) {
    expectExactPauses(l, dataSends(1));
    ++firstSends[l.writeTimes().front()];
  }
  EXPECT_EQ(firstSends.size(), 2u);
}

TEST(NodeSpacing, PlacesSpreadAnyNumberOfLinesNearlyEvenly) {
  EXPECT_EQ(staggerShare(0), 0);
  EXPECT_EQ(staggerShare(1), 0.5);
  EXPECT_EQ(staggerShare(2), 0.25);
  EXPECT_EQ(staggerShare(3), 0.75);
  EXPECT_EQ(staggerShare(5), 0.625);
  for (std::size_t n = 2; n <= 64; ++n) {
    std::vector<double> shares;
    for (std::size_t k = 0; k < n; ++k) shares.push_back(staggerShare(k));
    std::sort(shares.begin(), shares.end());
    for (std::size_t k = 1; k < n; ++k) EXPECT_GT(shares[k] - shares[k - 1], 0.5 / n) << n;
  }
  EXPECT_EQ(nodeStretch(16, 100, 10'000), 1);
  EXPECT_EQ(nodeStretch(100, 100, 10'000), 1);
  EXPECT_DOUBLE_EQ(nodeStretch(120, 100, 10'000), 1.2);
  EXPECT_EQ(nodeStretch(120, 0, 10'000), 1);
}

TEST(NodeSpacing, AFreedPlaceIsTakenAgainAndALateLineWaitsForItsPlace) {
  NodeSpacing spacing(100);
  std::int64_t first = 0;
  const NodeSpacing::Seat a = spacing.join(7, 1'000, 10'000, first);
  EXPECT_EQ(first, 1'000);
  const NodeSpacing::Seat b = spacing.join(7, 1'200, 10'000, first);
  EXPECT_EQ(b.place, 1u);
  EXPECT_EQ(first, 6'000);  // half a pause after the first line's place
  spacing.leave(b);
  // The place at 0 has long passed: the next time it comes round.
  const NodeSpacing::Seat c = spacing.join(7, 9'000, 10'000, first);
  EXPECT_EQ(c.place, 1u);
  EXPECT_EQ(first, 16'000);
  EXPECT_EQ(NodeSpacing::clearAt(a), INT64_MIN);
  spacing.sent(a, 2'000);
  EXPECT_EQ(NodeSpacing::clearAt(c), 2'100);
}

// The watch follows the usual lateness of the wake-ups: a host that holds
// up one wake-up in eight does not make every wake-up spin for as long.
TEST(WakeWatch, FollowsTheUsualLatenessOfWakeUpsNotTheRareLongOne) {
  WakeWatch watch;
  for (int i = 0; i < 64; ++i) watch.woke(20);
  EXPECT_EQ(watch.micros(), 25);
  for (int i = 0; i < 64; ++i) watch.woke(i % 8 == 0 ? 5'000 : 20);
  EXPECT_EQ(watch.micros(), 25);
  for (int i = 0; i < 32; ++i) watch.woke(400);
  EXPECT_EQ(watch.micros(), WakeWatch::kMostMicros);
  for (int i = 0; i < 32; ++i) watch.woke(0);
  EXPECT_EQ(watch.micros(), WakeWatch::kLeastMicros);
}

}  // namespace
