#include "session/stop_requests.h"

#include <atomic>

#include "engine/line.h"

namespace {

std::atomic<int> requests{0};
std::atomic<int> open{0};  // lines watched now

}  // namespace

bool stopRequested() { return requests.load() > 0; }

int requestStop() { return requests.fetch_add(1); }

WatchedLine::WatchedLine(Line& line) {
  open.fetch_add(1);
  // Asked before the line started: it stops before its first send.
  if (stopRequested()) line.stopRequested.store(true);
}

WatchedLine::~WatchedLine() { open.fetch_sub(1); }

int watchedLines() { return open.load(); }
