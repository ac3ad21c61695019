// The scheduler of many lines on virtual time: every pause kept exactly,
// lines of different pace and start side by side, groups spread over the
// pause, a line that fails or is stopped ending alone. Whole uploads of 64
// lines run in milliseconds.
#include "engine/line_scheduler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "drivers/sim.h"
#include "engine/line.h"
#include "engine/program.h"
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

}  // namespace
