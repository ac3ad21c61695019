#include "cli/fleet_view.h"

#include <algorithm>

#include "cli/progress.h"
#include "cli/terminal.h"
#include "files/shown_text.h"

namespace {

constexpr int kBarWidth = 12;
constexpr auto kRedrawEvery = std::chrono::milliseconds(250);

int percentOf(const FleetRowFigures& f) {
  if (f.total <= 0) return f.state == "done" ? 100 : 0;
  return static_cast<int>(static_cast<std::int64_t>(f.bytes) * 100 / f.total);
}

}  // namespace

std::string fleetRow(const FleetRowFigures& f, std::size_t width) {
  const int pct = percentOf(f);
  char number[8];
  std::snprintf(number, sizeof number, "%3d%%", pct);
  std::string bar = "[";
  const int filled = std::clamp(pct * kBarWidth / 100, 0, kBarWidth);
  bar.append(static_cast<std::size_t>(filled), '#');
  bar.append(static_cast<std::size_t>(kBarWidth - filled), '.');
  bar += "]";
  const std::string bytes = std::to_string(f.bytes) + "/" + std::to_string(f.total) + " B";
  const std::string frames =
      std::to_string((f.bytes + 63) / 64) + "/" + std::to_string((f.total + 63) / 64) + " frames";
  const std::string left = clockText(f.secondsLeft) + " left";

  // The fields in the order shown; each optional one has a rank: the lower
  // the rank, the sooner it is left out.
  struct Field {
    std::string text;
    int rank;  // 0: always shown
  };
  std::string name = files::shown(f.line);
  if (name.size() > 20) name = name.substr(0, 17) + "...";
  name.resize(std::max<std::size_t>(name.size(), 12), ' ');
  std::string address = f.address;
  address.resize(std::max<std::size_t>(address.size(), 7), ' ');
  const Field fields[] = {{name, 0},  {address, 5}, {bar, 2},  {number, 0},
                          {bytes, 3}, {frames, 1},  {left, 4}, {f.state, 0}};
  for (int dropBelow = 0; dropBelow <= 6; ++dropBelow) {
    std::string row;
    for (const Field& field : fields) {
      if (field.rank != 0 && field.rank <= dropBelow) continue;
      if (!row.empty()) row += "  ";
      row += field.text;
    }
    if (row.size() <= width) return row;
  }
  // Even the least does not fit: cut it.
  std::string row = name + " " + number + " " + f.state;
  return row.substr(0, width);
}

FleetView::FleetView(std::FILE* out, bool terminal, bool quiet)
    : out_(out), terminal_(terminal), quiet_(quiet) {}

FleetView::~FleetView() { stop(); }

std::size_t FleetView::addRow(const std::string& line) {
  std::lock_guard<std::mutex> lock(mutex_);
  rows_.emplace_back();
  rows_.back().line = line;
  return rows_.size() - 1;
}

void FleetView::start() {
  if (quiet_ || !terminal_) return;
  std::lock_guard<std::mutex> lock(mutex_);
  running_ = true;
  thread_ = std::thread([this] { loop(); });
}

void FleetView::stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!running_) return;
    running_ = false;
  }
  wake_.notify_one();
  thread_.join();
  std::lock_guard<std::mutex> lock(mutex_);
  draw(true);
}

void FleetView::setAddress(std::size_t row, const std::string& address) {
  std::lock_guard<std::mutex> lock(mutex_);
  rows_[row].address = address;
}

void FleetView::setState(std::size_t row, const std::string& state) {
  std::lock_guard<std::mutex> lock(mutex_);
  Row& r = rows_[row];
  r.state = state;
  if (!terminal_ && !quiet_ && state != "sending" && state != "waiting" && state != "opening") {
    std::fprintf(out_, "line %s (address %s): %s\n", files::shown(r.line).c_str(),
                 r.address.c_str(), state.c_str());
    std::fflush(out_);
  }
}

void FleetView::setTotal(std::size_t row, std::int32_t total) {
  std::lock_guard<std::mutex> lock(mutex_);
  Row& r = rows_[row];
  r.total = total;
  r.bytes = 0;
  r.since = std::chrono::steady_clock::now();
  r.firstBytes = -1;
  r.lastTenth = 0;
}

void FleetView::setBytes(std::size_t row, std::int32_t bytes) {
  Row& r = rows_[row];
  r.bytes.store(bytes, std::memory_order_relaxed);
  if (terminal_ || quiet_) return;
  const std::int32_t total = r.total.load(std::memory_order_relaxed);
  if (total <= 0 || bytes <= 0) return;
  const int tenth = static_cast<int>(static_cast<std::int64_t>(bytes) * 10 / total);
  std::lock_guard<std::mutex> lock(mutex_);
  if (tenth <= r.lastTenth) return;
  r.lastTenth = tenth;
  const FleetRowFigures f = figures(r);
  std::fprintf(out_, "line %s (address %s): %d%% (%d/%d bytes)\n", files::shown(f.line).c_str(),
               f.address.c_str(), percentOf(f), static_cast<int>(f.bytes),
               static_cast<int>(f.total));
  std::fflush(out_);
}

FleetRowFigures FleetView::figures(Row& r) {
  FleetRowFigures f;
  f.line = r.line;
  f.address = r.address;
  f.state = r.state;
  f.bytes = r.bytes.load(std::memory_order_relaxed);
  f.total = r.total.load(std::memory_order_relaxed);
  const auto now = std::chrono::steady_clock::now();
  if (f.bytes > 0 && r.firstBytes < 0) {
    r.firstBytes = f.bytes;
    r.firstAt = now;
  }
  if (r.firstBytes >= 0 && f.bytes > r.firstBytes) {
    const double since = std::chrono::duration<double>(now - r.firstAt).count();
    f.secondsLeft = since / (f.bytes - r.firstBytes) * std::max(0, f.total - f.bytes);
  } else if (f.total > 0 && f.bytes >= f.total) {
    f.secondsLeft = 0;
  }
  return f;
}

// With the mutex held.
void FleetView::draw(bool last) {
  const std::size_t columns = terminalColumns(out_);  // 0: unknown
  const std::size_t width = std::max<std::size_t>(columns != 0 ? columns - 1 : 79, 20);
  // Appended piece by piece: GCC 12's -Wrestrict misreads "literal" + string at -O3.
  std::string text;
  if (drawn_) {
    text.append("\x1b[");
    text.append(std::to_string(rows_.size()));
    text.append("A");
  }
  for (Row& r : rows_) {
    text.append("\r");
    text.append(fleetRow(figures(r), width));
    text.append("\x1b[K\n");
  }
  std::fputs(text.c_str(), out_);
  std::fflush(out_);
  drawn_ = !last;
}

void FleetView::loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (running_) {
    draw(false);
    wake_.wait_for(lock, kRedrawEvery, [this] { return !running_; });
  }
}
