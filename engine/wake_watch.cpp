#include "engine/wake_watch.h"

#include <algorithm>

void WakeWatch::woke(std::int64_t lateMicros) {
  recent_[count_ % kRecent] =
      static_cast<std::int32_t>(std::clamp<std::int64_t>(lateMicros, 0, 1'000'000));
  ++count_;
  if (count_ % kEvery != 0) return;
  // The middle of the recent wake-ups: one in two comes within the watch.
  // Those beyond it come late by little more than the watch on a quiet
  // machine, while each µs of watch is paid on every wake-up.
  const std::size_t n = std::min(count_, kRecent);
  std::array<std::int32_t, kRecent> sorted = recent_;
  const auto middle = sorted.begin() + static_cast<std::ptrdiff_t>(n / 2);
  std::nth_element(sorted.begin(), middle, sorted.begin() + static_cast<std::ptrdiff_t>(n));
  watch_ = std::clamp<std::int64_t>(*middle + kMarginMicros, kLeastMicros, kMostMicros);
}
