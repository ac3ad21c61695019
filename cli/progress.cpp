#include "cli/progress.h"

#include <algorithm>
#include <vector>

#include "cli/terminal.h"

namespace {

constexpr std::int32_t kFrameBytes = 64;
constexpr int kBarWidth = 24;
constexpr int kNarrowestBar = 10;
constexpr std::size_t kUnknownColumns = 80;
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);

std::int32_t framesFor(std::int32_t bytes) { return (bytes + kFrameBytes - 1) / kFrameBytes; }

int percent(const ProgressFigures& f) {
  if (f.total <= 0) return 100;
  return static_cast<int>(static_cast<std::int64_t>(f.bytes) * 100 / f.total);
}

std::string barOf(int pct, int width) {
  const int filled = std::clamp(pct * width / 100, 0, width);
  std::string bar = "[";
  bar.append(static_cast<std::size_t>(filled), '#');
  bar.append(static_cast<std::size_t>(width - filled), '.');
  return bar + ']';
}

}  // namespace

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

std::string progressBar(const ProgressFigures& f, std::size_t columns) {
  const int pct = percent(f);
  char pctText[8];
  std::snprintf(pctText, sizeof pctText, "%3d%%", pct);
  char bytes[32];
  std::snprintf(bytes, sizeof bytes, "%d/%d B", static_cast<int>(f.bytes),
                static_cast<int>(f.total));
  char frames[40];
  std::snprintf(frames, sizeof frames, "%d/%d frames", static_cast<int>(framesFor(f.bytes)),
                static_cast<int>(framesFor(f.total)));
  // In the order shown; dropped from the least useful: frames, elapsed, bytes, left.
  std::vector<std::string> fields = {bytes, frames, clockText(f.elapsed) + " elapsed",
                                     clockText(f.remaining) + " left"};
  const std::size_t dropOrder[] = {1, 1, 0, 0};  // positions in what is left
  const std::size_t room = columns == 0 ? std::string::npos : columns - 1;
  for (std::size_t dropped = 0;; ++dropped) {
    std::string rest = pctText;
    for (const std::string& field : fields) rest += "  " + field;
    const std::size_t fixed = rest.size() + 3;  // the brackets and the space after them
    int width = kBarWidth;
    if (room != std::string::npos && fixed + kBarWidth > room)
      width = room > fixed ? static_cast<int>(room - fixed) : 0;
    if (width >= kNarrowestBar) return barOf(pct, width) + " " + rest;
    if (dropped == std::size(dropOrder)) break;
    fields.erase(fields.begin() + static_cast<std::ptrdiff_t>(dropOrder[dropped]));
  }
  // Too narrow even for the narrowest bar: the percentage alone.
  return (std::to_string(pct) + "%").substr(0, room);
}

std::string progressLine(const ProgressFigures& f) {
  char buf[160];
  std::snprintf(buf, sizeof buf, "progress: %d%% (%d/%d bytes, %d/%d frames, %s elapsed)",
                percent(f), static_cast<int>(f.bytes), static_cast<int>(f.total),
                static_cast<int>(framesFor(f.bytes)), static_cast<int>(framesFor(f.total)),
                clockText(f.elapsed).c_str());
  return buf;
}

ProgressDisplay::ProgressDisplay(std::FILE* out, bool terminal,
                                 std::function<std::size_t()> columns)
    : out_(out), terminal_(terminal), columns_(std::move(columns)) {
  if (!columns_) columns_ = [out] { return terminalColumns(out); };
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
    // Read at every redraw, so that the bar follows a resized terminal.
    std::size_t columns = columns_();
    if (columns == 0) columns = kUnknownColumns;
    std::string text = progressBar(f, columns);
    const std::size_t width = text.size();
    // Blanks over what is left of a longer bar, never into the last column.
    const std::size_t cover = std::min(lastWidth_, columns - 1);
    if (width < cover) text.append(cover - width, ' ');
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
