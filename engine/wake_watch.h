// How early the scheduler's thread wakes before a step to watch the clock
// for the rest. A sleep's wake-up comes late by a few tens of µs on a
// quiet machine and by milliseconds when the host takes the CPU away; the
// watch follows the middle of the recent wake-ups, so the common lateness is
// watched away while the rare long one is not paid for on every wake-up
// (watching costs the CPU for as long as it lasts, on every wake-up).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

class WakeWatch {
 public:
  static constexpr std::int64_t kLeastMicros = 10;
  static constexpr std::int64_t kMostMicros = 150;

  // µs before a step to wake.
  std::int64_t micros() const { return watch_; }
  // A wake-up came `lateMicros` after the time it was asked for.
  void woke(std::int64_t lateMicros);

 private:
  static constexpr std::size_t kRecent = 32;  // wake-ups remembered
  static constexpr std::size_t kEvery = 8;    // the watch set again after this many
  static constexpr std::int64_t kMarginMicros = 5;
  std::array<std::int32_t, kRecent> recent_{};
  std::size_t count_ = 0;
  std::int64_t watch_ = 60;
};
