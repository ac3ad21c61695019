#include "drivers/line_pace.h"

namespace line_pace {

void wrote(Line& line, std::size_t bytes, Clock& clock) {
  line.idleAt = clock.nowMicros() + kByteMicros * static_cast<std::int64_t>(bytes) + kSettleMicros;
}

void waitIdle(const Line& line, Clock& clock) { clock.pauseUntil(line.idleAt); }

void breakOn(Line& line, Clock& clock) { line.breakSince = clock.nowMicros(); }

void waitBreakLength(const Line& line, Clock& clock) {
  clock.pauseUntil(line.breakSince + kMinBreakMicros);
}

}  // namespace line_pace
