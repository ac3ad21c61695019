#include "session/stop_requests.h"

#include <atomic>

#include "engine/line.h"

namespace {

// Plain atomics only: the POSIX handler runs in signal context.
constexpr int kSlots = 1024;
std::atomic<Line*> watched[kSlots];
std::atomic<int> requests{0};

}  // namespace

bool stopRequested() { return requests.load() > 0; }

int requestStop() { return requests.fetch_add(1); }

WatchedLine::WatchedLine(Line& line) : slot_(-1) {
  for (int i = 0; i < kSlots && slot_ < 0; ++i) {
    Line* empty = nullptr;
    if (watched[i].compare_exchange_strong(empty, &line)) slot_ = i;
  }
  // Asked before the line started: it stops before its first send.
  if (stopRequested()) line.stopRequested.store(true);
}

WatchedLine::~WatchedLine() {
  if (slot_ >= 0) watched[slot_].store(nullptr);
}

int watchedLines() {
  int n = 0;
  for (const std::atomic<Line*>& slot : watched) n += slot.load() != nullptr ? 1 : 0;
  return n;
}
