// How often a page hears of a line's progress: at most once per `everyMs`
// a line; a figure held back is sent before the line's next state or
// result, so the last one is never lost.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class ProgressPace {
 public:
  ProgressPace(std::size_t lines, std::int64_t everyMs)
      : everyMs_(everyMs), shownAt_(lines, kNever), held_(lines, false) {}

  // A new figure for `line` at `nowMs`: true when it is to be sent now.
  bool arrived(std::size_t line, std::int64_t nowMs) {
    held_[line] = true;
    if (shownAt_[line] != kNever && nowMs - shownAt_[line] < everyMs_) return false;
    shown(line, nowMs);
    return true;
  }
  // Whether a figure of `line` was held back (to be sent before its next event).
  bool held(std::size_t line) const { return held_[line]; }
  // The figure of `line` was sent at `nowMs`.
  void shown(std::size_t line, std::int64_t nowMs) {
    held_[line] = false;
    shownAt_[line] = nowMs;
  }

 private:
  static constexpr std::int64_t kNever = INT64_MIN;
  std::int64_t everyMs_;
  std::vector<std::int64_t> shownAt_;
  std::vector<bool> held_;
};
