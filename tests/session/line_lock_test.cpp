// One upload at a time on a USB or serial adapter, whichever process runs
// it: the line lock, and a session whose line is held elsewhere.
#include "session/line_lock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#ifndef _WIN32
#include <unistd.h>
#endif

#include "drivers/sim.h"
#include "engine/adapter_wrapper.h"
#include "tests/support/session_plan.h"
#include "tests/support/temp_folder.h"

namespace {

// Where the session keeps its locks, for this test only ("" : the default).
void useLockFolder(const std::string& folder) {
#ifdef _WIN32
  _putenv_s("UPLOADER_LOCK_DIR", folder.c_str());
#else
  if (folder.empty())
    unsetenv("UPLOADER_LOCK_DIR");
  else
    setenv("UPLOADER_LOCK_DIR", folder.c_str(), 1);
#endif
}

TEST(LineLock, OneHolderAtATimeAndTheRefusedOneIsToldWho) {
  TempFolder folder("uploader-line-lock");
  const std::string locks = (folder / "locks").string();
  std::string why;
  auto first = std::make_unique<LineLock>();
  ASSERT_TRUE(first->take(locks, "ftdi:A1B2C3", why)) << why;
  LineLock second;
  EXPECT_FALSE(second.take(locks, "ftdi:A1B2C3", why));
  EXPECT_NE(why.find("ftdi:A1B2C3 is in use by another upload"), std::string::npos) << why;
#ifndef _WIN32
  // Named by the process that holds it.
  EXPECT_NE(why.find("(process " + std::to_string(getpid()) + ")"), std::string::npos) << why;
#endif
  LineLock other;
  EXPECT_TRUE(other.take(locks, "ftdi:D4E5F6", why)) << why;
  first.reset();  // the holder ends: the line is free
  LineLock third;
  EXPECT_TRUE(third.take(locks, "ftdi:A1B2C3", why)) << why;
}

TEST(LineLock, KeysAreTheAdapterOpenedAndSafeFileNames) {
  EXPECT_EQ(lineLockKey({"ftdi:A1", "ftdi", "A1", "", true}), "ftdi:A1");
  EXPECT_EQ(lineLockKey({"ftdi", "ftdi", "", "", false}), "ftdi");
  EXPECT_EQ(lineLockKey({"tty:/dev/ttyUSB0", "tty:/dev/ttyUSB0", "", "", false}),
            "tty:/dev/ttyUSB0");
  EXPECT_EQ(lockFileName("tty:/dev/ttyUSB0"), "tty%3A%2Fdev%2FttyUSB0.lock");
  EXPECT_EQ(lockFileName("../x"), "..%2Fx.lock");  // no way out of the folder
  EXPECT_NE(lockFileName("a:b"), lockFileName("a_b"));
}

// A simulated adapter that passes for a USB one: it may block and has no
// simulated line to watch, so its line is locked as a real one is.
struct HeldSim {
  sim::SimAdapter held;  // made before the wrapper that forwards to it
};
struct UsbLike final : HeldSim, AdapterWrapper {
  UsbLike() : AdapterWrapper(held) {}
  bool callsMayBlock() const override { return true; }
  SimulatedLine* simulatedLine() override { return nullptr; }
};

TEST(LineLock, ASessionOnALineHeldElsewhereIsRefusedWithTheReason) {
  TempFolder folder("uploader-line-lock");
  const std::string locks = (folder / "locks").string();
  useLockFolder(locks);
  const std::string image = (folder / "image.bin").string();
  std::ofstream(image, std::ios::binary) << std::string(40, '\x21');
  const UploadPlan plan = planFor(image);
  const auto lines = [] {
    std::vector<SessionLine> l;
    l.push_back(
        {{"ftdi:A1", "ftdi:A1", "", "--adapter ftdi:A1", false}, std::make_unique<UsbLike>()});
    return l;
  };

  std::string why;
  {
    LineLock elsewhere;  // as another process's upload would
    ASSERT_TRUE(elsewhere.take(locks, "ftdi:A1", why)) << why;
    std::vector<SessionLine> held = lines();
    const std::vector<UploadReport> r = runQuietly(plan, held);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].outcome, Outcome::refused);
    EXPECT_NE(r[0].reason.find("ftdi:A1 is in use by another upload"), std::string::npos)
        << r[0].reason;
    EXPECT_EQ(r[0].bytes, 0);
  }
  std::vector<SessionLine> free = lines();
  const std::vector<UploadReport> r = runQuietly(plan, free);
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].outcome, Outcome::done) << r[0].reason;
  // And the session let it go: another can take it now.
  LineLock after;
  EXPECT_TRUE(after.take(locks, "ftdi:A1", why)) << why;
  useLockFolder("");
}

}  // namespace
