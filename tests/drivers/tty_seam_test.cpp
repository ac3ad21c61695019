// The tty driver through a recording stand-in for its system calls, on a
// virtual clock: each break waits for the previous frame to leave the port
// and is held at least 100 us, even when the frames follow each other at once.
#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <string>
#include <vector>

#include "drivers/line_pace.h"
#include "drivers/tty.h"
#include "tests/support/stand_ins.h"

namespace {

struct SysCall {
  std::string name;
  unsigned long request;  // for ioctl
  std::int64_t micros;
};

// Writes only queue their bytes; tcdrain lets them leave, 44 us each.
class FakeTty final : public TtySystem {
 public:
  explicit FakeTty(InstantClock& clock) : clock_(clock) {}
  int open(const char*, int) override { return note("open", 7); }
  int close(int) override { return note("close"); }
  ssize_t write(int, const void*, std::size_t count) override {
    queued_ += count;
    return note("write", static_cast<int>(count));
  }
  int ioctl(int, unsigned long request, int*) override { return note("ioctl", 0, request); }
  int tcdrain(int) override {
    clock_.now += line_pace::kByteMicros * static_cast<std::int64_t>(queued_);
    queued_ = 0;
    return note("tcdrain");
  }
  int tcflush(int, int) override { return note("tcflush"); }
  int flock(int, int) override { return note("flock"); }
  int waitWritable(int, int) override { return note("waitWritable", 1); }
  bool setDmx(int, std::string&) override { return note("setDmx", 1); }
  bool setSpeed(int, unsigned, std::string&) override { return note("setSpeed", 1); }
  bool setFraming(int, unsigned, unsigned, unsigned, std::string&) override {
    return note("setFraming", 1);
  }

  std::vector<SysCall> calls;

 private:
  int note(const char* name, int result = 0, unsigned long request = 0) {
    calls.push_back({name, request, clock_.now});
    return result;
  }
  InstantClock& clock_;
  std::size_t queued_ = 0;
};

TEST(TtySeam, EveryBreakWaitsForThePreviousFrameAndIsHeldLongEnough) {
  InstantClock clock;
  FakeTty system(clock);
  std::string error;
  const auto adapter = makeTtyOn("/dev/ttyFAKE0", system, error);
  ASSERT_NE(adapter, nullptr) << error;
  adapter->useClock(clock);

  FT_HANDLE h = nullptr;
  ASSERT_EQ(adapter->FT_OpenEx(const_cast<char*>("/dev/ttyFAKE0"), FT_OPEN_BY_SERIAL_NUMBER, &h),
            FT_OK)
      << adapter->lastError();
  std::uint8_t frame[76] = {0x91};
  for (int f = 0; f < 4; ++f) {
    ASSERT_EQ(adapter->FT_W32_SetCommBreak(h), 1) << adapter->lastError();
    ASSERT_EQ(adapter->FT_W32_ClearCommBreak(h), 1) << adapter->lastError();
    FT_DWORD written = 0;
    ASSERT_EQ(adapter->FT_Write(h, frame, sizeof frame, &written), FT_OK);
    ASSERT_EQ(written, sizeof frame);
  }
  ASSERT_EQ(adapter->FT_Close(h), FT_OK);

  int breaks = 0, clears = 0;
  bool drainedSinceWrite = false;
  std::int64_t breakAt = -1;
  for (std::size_t i = 0; i < system.calls.size(); ++i) {
    const SysCall& c = system.calls[i];
    SCOPED_TRACE("call " + std::to_string(i) + " " + c.name);
    if (c.name == "write") drainedSinceWrite = false;
    if (c.name == "tcdrain") drainedSinceWrite = true;
    if (c.name == "ioctl" && c.request == TIOCSBRK) {
      ++breaks;
      EXPECT_TRUE(drainedSinceWrite) << "break " << breaks << " set with the frame still queued";
      breakAt = c.micros;
    }
    if (c.name == "ioctl" && c.request == TIOCCBRK) {
      ++clears;
      ASSERT_GE(breakAt, 0) << "break cleared that was never set";
      EXPECT_GE(c.micros - breakAt, 100) << "break " << clears << " held too short";
      breakAt = -1;
    }
  }
  EXPECT_EQ(breaks, 4);
  EXPECT_EQ(clears, 4);
}

}  // namespace
