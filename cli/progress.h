// The upload's progress for a person: on a terminal, a bar redrawn in place
// at most ten times a second; otherwise a plain line at every tenth.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

struct ProgressFigures {
  std::int32_t bytes = 0;  // image bytes carried so far
  std::int32_t total = 0;  // image size
  double elapsed = 0;      // seconds since the line opened
  double remaining = -1;   // seconds left, estimated (-1: not known yet)
};

// "01:05", "1:02:03" for a number of seconds; "--:--" when not known (below 0).
std::string clockText(double seconds);

// "[#####.........]  33%  1024/3000 B  16/47 frames  00:03 elapsed  00:06 left",
// made to fit a terminal `columns` wide without reaching its last column
// (0: no limit): the bar narrows to 10, and the frames, the elapsed time,
// the bytes and the time left are dropped in that order, until it fits.
std::string progressBar(const ProgressFigures& f, std::size_t columns = 0);
// "progress: 30% (960/3000 bytes, 15/47 frames, 00:03 elapsed)"
std::string progressLine(const ProgressFigures& f);

class ProgressDisplay {
 public:
  // `columns` tells the terminal's width at each redraw (0: unknown, taken
  // as 80); by default, the width of `out`.
  ProgressDisplay(std::FILE* out, bool terminal, std::function<std::size_t()> columns = {});

  void start(std::int32_t total);  // the line opened; total bytes to carry
  void update(std::int32_t bytes);
  // Ends the bar's line so that what follows starts on a line of its own.
  void finish();

 private:
  using Clock = std::chrono::steady_clock;
  ProgressFigures figures(std::int32_t bytes, Clock::time_point now) const;

  std::FILE* out_;
  bool terminal_;
  std::function<std::size_t()> columns_;
  bool running_ = false;
  bool barShown_ = false;
  std::int32_t total_ = 0;
  Clock::time_point started_{};
  Clock::time_point lastDraw_{};
  std::size_t lastWidth_ = 0;
  int lastTenth_ = 0;
  // The first progress report: remaining time is estimated from the pace since then.
  std::int32_t firstBytes_ = -1;
  Clock::time_point firstAt_{};
};
