// The real clock on Windows. The default timer tick is 15.6 ms, so an 11 ms
// pause would last a whole tick; an upload holds a 1 ms timer resolution for
// its length. A pause sleeps in whole ticks while more than 2 ms remain, then
// yields until the performance counter passes the deadline: never short.
#include <windows.h>
// timeapi.h builds on the types windows.h declares: keep it second.
#include <timeapi.h>

#include "engine/clock.h"

namespace {

std::int64_t counterFrequency() {
  LARGE_INTEGER f;
  QueryPerformanceFrequency(&f);
  return f.QuadPart;
}

std::int64_t counterMicros() {
  static const std::int64_t frequency = counterFrequency();
  LARGE_INTEGER c;
  QueryPerformanceCounter(&c);
  return (c.QuadPart / frequency) * 1'000'000 + (c.QuadPart % frequency) * 1'000'000 / frequency;
}

class WindowsClock final : public Clock {
 public:
  void pause(unsigned ms) override {
    pauseUntil(counterMicros() + static_cast<std::int64_t>(ms) * 1000);
  }

  std::int64_t nowMicros() override { return counterMicros(); }

  void pauseUntil(std::int64_t deadline) override {
    for (std::int64_t left = deadline - counterMicros(); left > 0;
         left = deadline - counterMicros()) {
      if (left > 2000)
        Sleep(static_cast<DWORD>(left / 1000 - 1));
      else
        SwitchToThread();
    }
  }

  void uploadBegins() override { timeBeginPeriod(1); }
  void uploadEnds() override { timeEndPeriod(1); }
};

}  // namespace

Clock& realClock() {
  static WindowsClock clock;
  return clock;
}
