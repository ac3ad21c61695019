#include "drivers/line_pace.h"

#include <thread>

namespace line_pace {

void wrote(Line& line, std::size_t bytes) {
  line.idleAt = Clock::now() + kByteTime * static_cast<long>(bytes) + kSettle;
}

// sleep_until on the steady clock never returns before the deadline.
void waitIdle(const Line& line) {
  if (Clock::now() < line.idleAt) std::this_thread::sleep_until(line.idleAt);
}

void breakOn(Line& line) { line.breakSince = Clock::now(); }

void waitBreakLength(const Line& line) {
  const Clock::time_point end = line.breakSince + kMinBreak;
  if (Clock::now() < end) std::this_thread::sleep_until(end);
}

}  // namespace line_pace
