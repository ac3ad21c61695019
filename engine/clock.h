// The clock seam: every pause and every time stamp of an upload goes
// through here, so that tests run whole uploads, drivers included, on a
// virtual clock.
#pragma once

#include <cstdint>

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
  // Bracket one upload (the real clock raises the system timer resolution).
  virtual void uploadBegins() {}
  virtual void uploadEnds() {}
};

// The clock of the machine: absolute deadlines, never short, no drift.
Clock& realClock();
