// Wire timing the serial drivers keep to. At 250 000 baud with 8 data bits
// and 2 stop bits a byte takes 11 bit times, 44 us, so a 76-byte frame is
// about 3.3 ms on the wire. A driver's write returns as soon as the bytes
// are queued (in the kernel or in the adapter's own buffer), long before
// they have left; a break asserted then would cut the frame short. These
// helpers let a driver wait for the line to fall idle before the next
// break, and hold every break for at least the DMX512 minimum. Every time
// comes from the driver's clock, so tests run them on virtual time.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/clock.h"

namespace line_pace {

inline constexpr std::int64_t kByteMicros = 44;
// DMX512 asks for a break of at least 88 us; keep a margin.
inline constexpr std::int64_t kMinBreakMicros = 100;
// Slack for the adapter to start sending what it has been handed.
inline constexpr std::int64_t kSettleMicros = 250;

struct Line {
  std::int64_t idleAt = 0;      // when the bytes written last have surely left
  std::int64_t breakSince = 0;  // when the break now on began
};

// Call when a write of `bytes` has returned: all of them may still be queued.
void wrote(Line& line, std::size_t bytes, Clock& clock);
// Waits until the bytes written last have left the adapter.
void waitIdle(const Line& line, Clock& clock);
// Call right after the break went on.
void breakOn(Line& line, Clock& clock);
// Waits until the break has lasted kMinBreakMicros.
void waitBreakLength(const Line& line, Clock& clock);

}  // namespace line_pace
