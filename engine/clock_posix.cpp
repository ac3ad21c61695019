// The real clock on POSIX systems. A pause sleeps to an absolute deadline a
// little before its end, then watches the clock for the last stretch: the
// kernel's wake-up is late by 0.1 to 1 ms on a shared machine, and a late
// wake on every frame would stretch an upload by more than 1 %. A pause is
// never shorter than asked, since it ends only once the clock has passed the
// deadline.
#include <sys/prctl.h>
#include <time.h>

#include "engine/clock.h"

namespace {

// Wake this long before the deadline and spin the rest: 0.8 % of the pause,
// at least 120 µs and at most 400 µs. A long sleep wakes later than a short
// one on a virtual machine, and the share of CPU spent spinning stays below 1 %.
std::int64_t spinNanos(unsigned ms) {
  const std::int64_t share = static_cast<std::int64_t>(ms) * 8'000;
  return share < 120'000 ? 120'000 : share > 400'000 ? 400'000 : share;
}

std::int64_t monotonicNanos() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

class PosixClock final : public Clock {
 public:
  void pause(unsigned ms) override {
    const std::int64_t deadline = monotonicNanos() + static_cast<std::int64_t>(ms) * 1'000'000;
    const std::int64_t wake = deadline - spinNanos(ms);
    timespec ts{static_cast<time_t>(wake / 1'000'000'000), static_cast<long>(wake % 1'000'000'000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) != 0) {
      // interrupted by a signal: sleep on to the same deadline
    }
    while (monotonicNanos() < deadline) {
    }
  }

  std::int64_t nowMicros() override { return monotonicNanos() / 1000; }

  // Short driver waits: a plain absolute sleep, which never ends early.
  void pauseUntil(std::int64_t deadline) override {
    const std::int64_t ns = deadline * 1000;
    const timespec ts{static_cast<time_t>(ns / 1'000'000'000),
                      static_cast<long>(ns % 1'000'000'000)};
    while (nowMicros() < deadline) clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr);
  }

  void uploadBegins() override {
    // Ask the kernel to wake us as close to the deadline as it can.
    prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
  }
};

}  // namespace

Clock& realClock() {
  static PosixClock clock;
  return clock;
}
