// Runs the line phases of many lines on one thread: each step as soon as
// the pause before it has passed, never sooner. One thread that sleeps to
// the earliest step and watches the clock only for its last stretch costs
// far less than a thread per line doing the same. Lines are spread over
// their pauses in groups, each group due at a time of its own, so that no
// send waits behind many others' sends. Every sleep and every look
// at the time goes through the clock, so that tests run it on virtual time.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <list>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/clock.h"
#include "engine/line_phase.h"

class LineScheduler {
 public:
  enum class Mode {
    ownThread,     // a thread of its own runs the phases that run() hands it
    callerThread,  // add() the phases, then runAll() on the calling thread (tests)
  };
  // `clock`: the machine's, or a test's; its uploadBegins/uploadEnds bracket the work.
  explicit LineScheduler(Clock& clock, Mode mode = Mode::ownThread);
  // Waits for every phase given to run() to end, then for the thread.
  ~LineScheduler();
  LineScheduler(const LineScheduler&) = delete;
  LineScheduler& operator=(const LineScheduler&) = delete;

  // Runs `phase` to its end on the scheduler's thread, its first step as
  // soon as its group's turn comes (at most a few ms); returns when it has
  // ended. Called from the line's own thread.
  void run(LinePhase& phase);

  // Mode::callerThread: a phase whose first step is due at clock time `start`.
  void add(LinePhase& phase, std::int64_t start);
  // Mode::callerThread: runs every phase added until each has ended.
  void runAll();

  // Lines per group, and the time between the groups' turns. Fewer, larger
  // groups make more sends wait behind each wake-up, and a wake-up the host
  // delays makes every line of its group late; more groups cost a wake-up
  // and a watch of the clock each (bench/fleet_timing, docs/performance.md).
  static constexpr std::size_t kGroupSize = 16;
  static constexpr std::size_t kGroups = 4;
  static constexpr std::int64_t kGroupSpacingMicros = 400;

 private:
  struct Entry {
    LinePhase* phase;
    std::int64_t due;  // clock time of the next step
    bool ended;
  };

  // Serves the phases until none is left, and then, unless `untilEmpty`,
  // until the scheduler closes.
  void loop(bool untilEmpty);
  // The offset of the next line's first step: its group's turn.
  std::int64_t nextGroupOffset();

  Clock& clock_;
  std::mutex mutex_;
  std::condition_variable wake_;   // a phase arrived, or the scheduler ends
  std::condition_variable ended_;  // a phase ended
  std::list<Entry> entries_;       // list: entries keep their place while others come and go
  std::size_t arrivals_ = 0;
  std::int64_t watch_ = 150;  // µs before a step the thread wakes and starts watching the clock
  bool closing_ = false;
  std::thread thread_;
};
