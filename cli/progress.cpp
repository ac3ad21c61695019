#include "cli/progress.h"

#include <algorithm>

namespace {

constexpr std::int32_t kFrameBytes = 64;
constexpr int kBarWidth = 24;
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);

std::int32_t framesFor(std::int32_t bytes) { return (bytes + kFrameBytes - 1) / kFrameBytes; }

int percent(const ProgressFigures& f) {
  if (f.total <= 0) return 100;
  return static_cast<int>(static_cast<std::int64_t>(f.bytes) * 100 / f.total);
}

std::string clockText(double seconds) {
  if (seconds < 0) return "--:--";
  const long s = static_cast<long>(seconds + 0.5);
  char buf[32];
  if (s >= 3600)
    std::snprintf(buf, sizeof buf, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  else
    std::snprintf(buf, sizeof buf, "%02ld:%02ld", s / 60, s % 60);
  return buf;
}

}  // namespace

std::string progressBar(const ProgressFigures& f) {
  const int pct = percent(f);
  const int filled = std::clamp(pct * kBarWidth / 100, 0, kBarWidth);
  std::string bar = "[";
  bar.append(static_cast<std::size_t>(filled), '#');
  bar.append(static_cast<std::size_t>(kBarWidth - filled), '.');
  bar += ']';
  char buf[160];
  std::snprintf(buf, sizeof buf, "%s %3d%%  %d/%d B  %d/%d frames  %s elapsed  %s left",
                bar.c_str(), pct, static_cast<int>(f.bytes), static_cast<int>(f.total),
                static_cast<int>(framesFor(f.bytes)), static_cast<int>(framesFor(f.total)),
                clockText(f.elapsed).c_str(), clockText(f.remaining).c_str());
  return buf;
}

std::string progressLine(const ProgressFigures& f) {
  char buf[160];
  std::snprintf(buf, sizeof buf, "progress: %d%% (%d/%d bytes, %d/%d frames, %s elapsed)",
                percent(f), static_cast<int>(f.bytes), static_cast<int>(f.total),
                static_cast<int>(framesFor(f.bytes)), static_cast<int>(framesFor(f.total)),
                clockText(f.elapsed).c_str());
  return buf;
}

void ProgressDisplay::start(std::int32_t total) {
  total_ = total;
  running_ = true;
  barShown_ = false;
  started_ = Clock::now();
  lastTenth_ = 0;
  lastWidth_ = 0;
  firstBytes_ = -1;
}

ProgressFigures ProgressDisplay::figures(std::int32_t bytes, Clock::time_point now) const {
  ProgressFigures f;
  f.bytes = bytes;
  f.total = total_;
  f.elapsed = std::chrono::duration<double>(now - started_).count();
  if (firstBytes_ >= 0 && bytes > firstBytes_) {
    const double since = std::chrono::duration<double>(now - firstAt_).count();
    f.remaining = since / (bytes - firstBytes_) * std::max(0, total_ - bytes);
  } else if (bytes >= total_) {
    f.remaining = 0;
  }
  return f;
}

void ProgressDisplay::update(std::int32_t bytes) {
  // Positions before the line opened (the reset to 0) are not drawn.
  if (!running_ || total_ <= 0 || bytes <= 0) return;
  const Clock::time_point now = Clock::now();
  if (firstBytes_ < 0) {
    firstBytes_ = bytes;
    firstAt_ = now;
  }
  const bool last = bytes >= total_;
  const ProgressFigures f = figures(bytes, now);
  if (terminal_) {
    if (barShown_ && !last && now - lastDraw_ < kRedrawEvery) return;
    std::string text = progressBar(f);
    const std::size_t width = text.size();
    if (width < lastWidth_) text.append(lastWidth_ - width, ' ');
    std::fprintf(out_, "\r%s", text.c_str());
    std::fflush(out_);
    lastWidth_ = width;
    lastDraw_ = now;
    barShown_ = true;
    if (last) finish();
    return;
  }
  const int tenth = static_cast<int>(static_cast<std::int64_t>(bytes) * 10 / total_);
  if (tenth <= lastTenth_) return;
  lastTenth_ = tenth;
  std::fprintf(out_, "%s\n", progressLine(f).c_str());
  std::fflush(out_);
}

void ProgressDisplay::finish() {
  running_ = false;
  if (!barShown_) return;
  std::fputc('\n', out_);
  std::fflush(out_);
  barShown_ = false;
}
