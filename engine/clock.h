// The clock seam: every pause and every time stamp of an upload goes
// through here, so that tests run whole uploads, drivers included, on a
// virtual clock.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

class Clock {
 public:
  virtual ~Clock() = default;
  // Pauses the calling thread for at least `ms` milliseconds.
  virtual void pause(unsigned ms) = 0;
  // Monotonic time in microseconds since an arbitrary origin.
  virtual std::int64_t nowMicros() = 0;
  // Pauses until nowMicros() has reached `deadline` at least; returns at
  // once when it has already passed. For the short waits of drivers.
  virtual void pauseUntil(std::int64_t deadline) = 0;
  // Waits on `wake` (with `lock` held on entry and on return) until
  // nowMicros() is near `deadline` or the wait is woken, whichever comes
  // first; it may end a little early or spuriously: callers look at the clock
  // again. The scheduler of many lines sleeps here, so that a test clock can
  // run it on virtual time.
  virtual void waitUntil(std::int64_t deadline, std::condition_variable& wake,
                         std::unique_lock<std::mutex>& lock) {
    const std::int64_t left = deadline - nowMicros();
    if (left > 0) wake.wait_for(lock, std::chrono::microseconds(left));
  }
  // Watches the clock until nowMicros() has reached `deadline`: the last
  // stretch before a send that a sleep would overshoot.
  virtual void spinUntil(std::int64_t deadline) {
    while (nowMicros() < deadline) {
    }
  }
  // Bracket one upload (the real clock raises the system timer resolution).
  virtual void uploadBegins() {}
  virtual void uploadEnds() {}
};

// The clock of the machine: absolute deadlines, never short, no drift.
Clock& realClock();
