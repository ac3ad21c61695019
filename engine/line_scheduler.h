// Runs the line phases of many lines on one thread: each step as soon as
// the pause before it has passed, never sooner. One thread that sleeps to
// the earliest step and watches the clock only for its last stretch costs
// far less than a thread per line doing the same. Lines are spread over
// their pauses in groups, each group due at a time of its own, so that no
// send waits behind many others' sends. The lines of one network node are
// staggered so that its packets leave a gap apart (engine/node_spacing.h).
// Every sleep and every look
// at the time goes through the clock, so that tests run it on virtual time.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <list>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "engine/clock.h"
#include "engine/line_phase.h"
#include "engine/node_spacing.h"
#include "engine/wake_watch.h"

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

  // Keeps the packets to one node at least `micros` apart (0: no gap);
  // before the first phase comes.
  void spaceNodes(std::int64_t micros) { spacing_ = NodeSpacing(micros); }

  // Runs `phase` to its end on the scheduler's thread, its first step as
  // soon as its group's turn comes (at most a few ms), or with a `node`
  // (Adapter::nodeAddress()) at its place among that node's lines (at most
  // the shortest pause); returns when it has ended. Called from the line's
  // own thread.
  void run(LinePhase& phase, std::optional<std::uint32_t> node = std::nullopt);

  // Mode::callerThread: a phase whose first step is due at clock time `start`
  // (or at its place among the lines of `node` from then).
  void add(LinePhase& phase, std::int64_t start, std::optional<std::uint32_t> node = std::nullopt);
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
    NodeSpacing::Seat seat;
    // When the pause before the next step ends: `due`, unless the step waits
    // for its node's gap; lines waiting for one node take turns by it.
    std::int64_t turn;
    std::size_t slot = 0;   // its place in `due_`
    bool finished = false;  // its last step made (the scheduler's thread alone)
  };
  // The time of every running line's next step, side by side in memory: the
  // look over hundreds of lines before each round reads these alone.
  struct Due {
    std::int64_t at;
    Entry* entry;
  };

  // Serves the phases until none is left, and then, unless `untilEmpty`,
  // until the scheduler closes.
  void loop(bool untilEmpty);
  // The offset of the next line's first step: its group's turn.
  std::int64_t nextGroupOffset();
  // A new entry for `phase` arriving at `now`, in its group or at its node's place.
  Entry arrival(LinePhase& phase, std::int64_t now, std::optional<std::uint32_t> node);
  // Puts an entry among the running lines, or takes an ended one out.
  void enter(Entry& entry);
  void leave(Entry& entry);

  Clock& clock_;
  std::mutex mutex_;
  std::condition_variable wake_;   // a phase arrived, or the scheduler ends
  std::condition_variable ended_;  // a phase ended
  std::list<Entry> entries_;       // list: entries keep their place while others come and go
  std::vector<Due> due_;           // the lines not yet ended
  std::size_t arrivals_ = 0;
  WakeWatch watch_;  // how long before a step the thread wakes and watches the clock
  NodeSpacing spacing_;
  bool closing_ = false;
  std::thread thread_;
};
