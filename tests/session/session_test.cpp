// Several lines at once, in one process: every line's upload is that of a
// single upload, a line that fails stops alone with its reason, and on a
// line whose resets address one device the addresses follow one another.
#include "session/session.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "device/capture_reader.h"
#include "drivers/sim.h"
#include "engine/adapter_wrapper.h"
#include "tests/support/session_plan.h"
#include "tests/support/temp_folder.h"

namespace {

class Fleet : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = folder.path();
    image = (dir / "image.bin").string();
    std::ofstream(image, std::ios::binary) << std::string(100, '\x5a');
    plan = planFor(image);
  }

  std::vector<SessionLine> simLines(std::size_t n) {
    std::vector<SessionLine> lines;
    for (std::size_t i = 1; i <= n; ++i) {
      SessionLine& line = lines.emplace_back();
      line.target.label = "sim:" + std::to_string(i);
      line.target.adapter = "sim";
      line.adapter = std::make_unique<sim::SimAdapter>();
    }
    return lines;
  }

  TempFolder folder{"uploader-fleet"};
  std::filesystem::path dir;
  std::string image;
  UploadPlan plan;
};

TEST_F(Fleet, ALineThatFailsStopsAloneAndTheOthersVerify) {
  for (std::size_t n : {2u, 8u}) {
    SCOPED_TRACE(n);
    std::vector<SessionLine> lines = simLines(n);
    static_cast<sim::SimAdapter&>(*lines[1].adapter).settings().failWritesFrom = 5;
    const std::vector<UploadReport> s = runQuietly(plan, lines);
    ASSERT_EQ(s.size(), n);
    for (std::size_t i = 0; i < n; ++i) {
      const UploadReport& u = s[i];
      EXPECT_EQ(u.label, "sim:" + std::to_string(i + 1));
      if (i == 1) {
        EXPECT_EQ(u.outcome, Outcome::failed);
        EXPECT_NE(u.reason.find("write refused (simulated failure)"), std::string::npos)
            << u.reason;
      } else {
        EXPECT_EQ(u.outcome, Outcome::done) << u.reason;
        EXPECT_EQ(u.reason, "verified by the virtual device");
        EXPECT_EQ(u.bytes, 100);
      }
    }
  }
}

TEST_F(Fleet, OnALineOfSingleDeviceResetsTheAddressesFollowOneAnother) {
  plan = planFor(image, "v1.1");
  plan.addresses = {3, 5};
  plan.capture = (dir / "line.pcap").string();
  std::vector<SessionLine> lines = simLines(1);
  const std::vector<UploadReport> s = runQuietly(plan, lines);
  ASSERT_TRUE(allDone(s));
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s[0].addresses, std::vector<int>{3});
  EXPECT_EQ(s[1].addresses, std::vector<int>{5});
  // On the line: ten resets to 3 and the whole image, then ten resets to 5 and the whole image.
  vdev::Capture c;
  std::string error;
  ASSERT_TRUE(vdev::readCapture(plan.capture, c, error)) << error;
  std::vector<std::string> shape;
  for (const vdev::CaptureRecord& r : c.records) {
    const std::string kind = r.bytes[3] == 0xFF ? "reset " + std::to_string(r.bytes[4]) : "data";
    if (shape.empty() || shape.back() != kind) shape.push_back(kind);
  }
  EXPECT_EQ(shape, (std::vector<std::string>{"reset 3", "data", "reset 5", "data"}));
  EXPECT_EQ(c.records.size(), 2u * (10 + 40 + 40));
}

TEST_F(Fleet, ALineThatFailsLeavesItsOtherAddressesAndCapturesAreNumberedFromOne) {
  plan = planFor(image, "v1.1");
  plan.addresses = {3, 5};
  plan.capture = (dir / "line.pcap").string();
  std::vector<SessionLine> lines = simLines(2);
  static_cast<sim::SimAdapter&>(*lines[0].adapter).settings().failWritesFrom = 3;
  const std::vector<UploadReport> s = runQuietly(plan, lines);
  ASSERT_EQ(s.size(), 4u);
  EXPECT_EQ(s[0].outcome, Outcome::failed);
  EXPECT_EQ(s[1].outcome, Outcome::skipped);
  EXPECT_EQ(s[1].addresses, std::vector<int>{5});
  EXPECT_EQ(s[2].outcome, Outcome::done);
  EXPECT_EQ(s[3].outcome, Outcome::done);
  EXPECT_EQ(s[2].capture, (dir / "line-2.pcap").string());
  EXPECT_TRUE(std::filesystem::exists(dir / "line-1.pcap"));
  EXPECT_TRUE(std::filesystem::exists(dir / "line-2.pcap"));
  EXPECT_FALSE(std::filesystem::exists(dir / "line-0.pcap"));
}

// The image is read once: a file replaced while the lines send changes nothing on them.
TEST_F(Fleet, EveryLineCarriesTheBytesReadAtTheStartEvenWhenTheFileIsReplaced) {
  // Two addresses a line, one after the other: the second upload of every
  // line begins once the file has been replaced.
  plan = planFor(image, "v1.1");
  plan.addresses = {3, 5};
  plan.capture = (dir / "line.pcap").string();
  std::vector<SessionLine> lines = simLines(3);
  struct Replacer final : SessionObserver {
    void lineState(std::size_t, LineState state, const std::vector<int>&) override {
      if (state == LineState::sending && !done) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << std::string(100, '\x33');
        done = true;
      }
    }
    std::string path;
    bool done = false;
  } replacer;
  replacer.path = image;
  const std::vector<UploadReport> s = UploadSession(plan, lines, replacer).run();
  ASSERT_TRUE(replacer.done);
  for (const UploadReport& u : s) EXPECT_EQ(u.outcome, Outcome::done) << u.reason;
  for (int i = 1; i <= 3; ++i) {
    vdev::Capture c;
    std::string error;
    ASSERT_TRUE(
        vdev::readCapture((dir / ("line-" + std::to_string(i) + ".pcap")).string(), c, error))
        << error;
    ASSERT_EQ(c.records.size(), 2u * (10 + 40 + 40)) << "line " << i;
    for (const vdev::CaptureRecord& r : c.records) {
      if (r.bytes[3] == 0xFF) continue;              // a reset
      ASSERT_EQ(r.bytes[10], 0x5a) << "line " << i;  // a data frame's first byte of the image
    }
  }
}

// A line whose adapter may block gets a thread of its own: while its write
// hangs, the other lines still run to their end.
TEST_F(Fleet, AnAdapterThatMayBlockDoesNotHoldTheOthersUp) {
  struct Blocking final : AdapterWrapper {
    explicit Blocking(std::unique_ptr<Adapter> inner)
        : AdapterWrapper(*inner), owned(std::move(inner)) {}
    bool callsMayBlock() const override { return true; }
    FT_STATUS FT_Write(FT_HANDLE h, void* b, FT_DWORD n, FT_DWORD* w) override {
      std::unique_lock<std::mutex> lock(mutex);
      // Not let go in 30 s: the others wait behind this write. It waits no
      // more, so that the test ends (failing) instead of hanging on.
      if (!released.wait_for(lock, std::chrono::seconds(30), [this] { return release; }))
        release = true;
      return AdapterWrapper::FT_Write(h, b, n, w);
    }
    std::unique_ptr<Adapter> owned;
    std::mutex mutex;
    std::condition_variable released;
    bool release = false;
  };
  std::vector<SessionLine> lines = simLines(3);
  auto blocking = std::make_unique<Blocking>(std::move(lines[0].adapter));
  Blocking& held = *blocking;
  lines[0].adapter = std::move(blocking);
  struct Watch final : SessionObserver {
    void result(const UploadReport& r) override {
      if (r.line == 0) return;
      if (++others == 2) {
        std::lock_guard<std::mutex> lock(held->mutex);
        othersEndedFirst = !held->release;
        held->release = true;
        held->released.notify_all();
      }
    }
    Blocking* held = nullptr;
    int others = 0;
    bool othersEndedFirst = false;
  } watch;
  watch.held = &held;
  const std::vector<UploadReport> s = UploadSession(plan, lines, watch).run();
  EXPECT_TRUE(watch.othersEndedFirst);
  EXPECT_TRUE(allDone(s));
}

// A stop asked of the session stops every line after its send in progress,
// and what was not begun is not tried.
TEST_F(Fleet, AStopEndsEveryLineAndSkipsWhatIsLeft) {
  plan = planFor(image, "v1.1");
  plan.addresses = {3, 5};
  std::vector<SessionLine> lines = simLines(4);
  struct Stopper final : SessionObserver {
    void lineState(std::size_t, LineState state, const std::vector<int>&) override {
      if (state == LineState::sending && session != nullptr) session->stop();
    }
    UploadSession* session = nullptr;
  } stopper;
  UploadSession session(plan, lines, stopper);
  stopper.session = &session;
  const std::vector<UploadReport> s = session.run();
  ASSERT_EQ(s.size(), 8u);
  for (std::size_t i = 0; i < s.size(); i += 2) {
    EXPECT_EQ(s[i].outcome, Outcome::stopped) << s[i].label;
    EXPECT_EQ(s[i + 1].outcome, Outcome::skipped) << s[i].label;
  }
}

}  // namespace
