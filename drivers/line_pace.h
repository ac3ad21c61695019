// Wire timing the serial drivers keep to. At 250 000 baud with 8 data bits
// and 2 stop bits a byte takes 11 bit times, 44 us, so a 76-byte frame is
// about 3.3 ms on the wire. A driver's write returns as soon as the bytes
// are queued (in the kernel or in the adapter's own buffer), long before
// they have left; a break asserted then would cut the frame short. These
// helpers let a driver wait for the line to fall idle before the next
// break, and hold every break for at least the DMX512 minimum.
#pragma once

#include <chrono>
#include <cstddef>

namespace line_pace {

using Clock = std::chrono::steady_clock;

inline constexpr std::chrono::microseconds kByteTime{44};
// DMX512 asks for a break of at least 88 us; keep a margin.
inline constexpr std::chrono::microseconds kMinBreak{100};
// Slack for the adapter to start sending what it has been handed.
inline constexpr std::chrono::microseconds kSettle{250};

struct Line {
  Clock::time_point idleAt{};      // when the bytes written last have surely left
  Clock::time_point breakSince{};  // when the break now on began
};

// Call when a write of `bytes` has returned: all of them may still be queued.
void wrote(Line& line, std::size_t bytes);
// Sleeps until the bytes written last have left the adapter.
void waitIdle(const Line& line);
// Call right after the break went on.
void breakOn(Line& line);
// Sleeps until the break has lasted kMinBreak.
void waitBreakLength(const Line& line);

}  // namespace line_pace
