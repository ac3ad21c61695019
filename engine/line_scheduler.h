// Runs the line phases of many lines on one thread: each step as soon as
// the pause before it has passed, never sooner. One thread that sleeps to
// the earliest step and watches the clock only for its last stretch costs
// far less than a thread per line doing the same; lines that start
// together stay in step, so one wake-up serves them all.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <list>
#include <mutex>
#include <thread>

#include "engine/clock.h"
#include "engine/line_phase.h"

class LineScheduler {
 public:
  // `clock`: the machine's, or a test's; its uploadBegins/uploadEnds bracket the thread.
  explicit LineScheduler(Clock& clock);
  // Waits for every phase given to run() to end, then for the thread.
  ~LineScheduler();
  LineScheduler(const LineScheduler&) = delete;
  LineScheduler& operator=(const LineScheduler&) = delete;

  // Runs `phase` to its end on the scheduler's thread, its first step at
  // once; returns when it has ended. Called from the line's own thread.
  void run(LinePhase& phase);

 private:
  struct Entry {
    LinePhase* phase;
    std::int64_t due;  // clock time of the next step
    bool ended;
  };

  void loop();

  Clock& clock_;
  std::mutex mutex_;
  std::condition_variable wake_;   // a phase arrived, or the scheduler ends
  std::condition_variable ended_;  // a phase ended
  std::list<Entry> entries_;       // list: entries keep their place while others come and go
  bool closing_ = false;
  std::thread thread_;
};
