// Several lines at once, in one process: every line's upload is that of a
// single upload, a line that fails stops alone with its reason, and on a
// line whose resets address one device the addresses follow one another.
#include "cli/fleet.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "device/capture_reader.h"
#include "drivers/sim.h"

namespace {

class Fleet : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          ("uploader-fleet-" +
           std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::create_directories(dir);
    options.file = (dir / "image.bin").string();
    std::ofstream(options.file, std::ios::binary) << std::string(100, '\x5a');
    options.fast = true;
    options.quiet = true;
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  std::vector<FleetLine> simLines(std::size_t n) {
    std::vector<FleetLine> lines;
    for (std::size_t i = 1; i <= n; ++i)
      lines.push_back(
          {{"sim:" + std::to_string(i), "sim", ""}, std::make_unique<sim::SimAdapter>()});
    return lines;
  }

  std::filesystem::path dir;
  Options options;
};

TEST_F(Fleet, ALineThatFailsStopsAloneAndTheOthersVerify) {
  for (std::size_t n : {2u, 8u}) {
    SCOPED_TRACE(n);
    std::vector<FleetLine> lines = simLines(n);
    static_cast<sim::SimAdapter&>(*lines[1].adapter).settings().failWritesFrom = 5;
    const FleetSummary s = runLines(options, lines);
    EXPECT_EQ(s.exitStatus, 1);
    ASSERT_EQ(s.uploads.size(), n);
    for (std::size_t i = 0; i < n; ++i) {
      const UploadEntry& u = s.uploads[i];
      EXPECT_EQ(u.line, "sim:" + std::to_string(i + 1));
      if (i == 1) {
        EXPECT_EQ(u.result, "failed");
        EXPECT_NE(u.reason.find("write refused (simulated failure)"), std::string::npos)
            << u.reason;
      } else {
        EXPECT_EQ(u.result, "done") << u.reason;
        EXPECT_EQ(u.reason, "verified by the virtual device");
        EXPECT_EQ(u.bytes, 100);
      }
    }
  }
}

TEST_F(Fleet, OnALineOfSingleDeviceResetsTheAddressesFollowOneAnother) {
  options.profile = "v1.1";
  options.addresses = {3, 5};
  options.capture = (dir / "line.pcap").string();
  std::vector<FleetLine> lines = simLines(1);
  const FleetSummary s = runLines(options, lines);
  EXPECT_EQ(s.exitStatus, 0);
  ASSERT_EQ(s.uploads.size(), 2u);
  EXPECT_EQ(s.uploads[0].addresses, std::vector<int>{3});
  EXPECT_EQ(s.uploads[1].addresses, std::vector<int>{5});
  // On the line: ten resets to 3 and the whole image, then ten resets to 5 and the whole image.
  vdev::Capture c;
  std::string error;
  ASSERT_TRUE(vdev::readCapture(options.capture, c, error)) << error;
  std::vector<std::string> shape;
  for (const vdev::CaptureRecord& r : c.records) {
    const std::string kind = r.bytes[3] == 0xFF ? "reset " + std::to_string(r.bytes[4]) : "data";
    if (shape.empty() || shape.back() != kind) shape.push_back(kind);
  }
  EXPECT_EQ(shape, (std::vector<std::string>{"reset 3", "data", "reset 5", "data"}));
  EXPECT_EQ(c.records.size(), 2u * (10 + 40 + 40));
}

}  // namespace
