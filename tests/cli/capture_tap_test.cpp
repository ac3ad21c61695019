// The capture tap around an adapter: every call reaches the driver unchanged,
// and exactly the packets the driver accepted land in the capture.
#include "session/capture_tap.h"

#include <filesystem>

#include "device/capture_reader.h"
#include "engine/state.h"
#include "profiles/profiles.h"
#include "session/capture_writer.h"
#include "tests/support/upload_harness.h"

namespace {

class Tapped : public UploadTest {
 protected:
  std::string capturePath() { return (std::filesystem::path(dir) / "line.pcap").string(); }

  vdev::Capture readBack() {
    vdev::Capture c;
    std::string error;
    EXPECT_TRUE(vdev::readCapture(capturePath(), c, error)) << error;
    return c;
  }
};

TEST_F(Tapped, RecordsEveryPacketTheDriverAccepted) {
  chooseImage(patternImage(150));
  CaptureWriter writer;
  std::string error;
  ASSERT_TRUE(writer.open(capturePath(), error)) << error;
  CaptureTap tap(simulated(), writer);
  adapter = &tap;
  const std::int64_t before = wallClockMicros();
  ASSERT_EQ(run(profileV1_2), 0);
  writer.close();
  EXPECT_FALSE(writer.failed()) << writer.error();

  // The driver saw the whole conversation, as without a tap.
  const auto sent = writes();
  ASSERT_EQ(sent.size(), 10u + 40 + 40 + 10);
  EXPECT_EQ(record().front().call, sim::Call::list);
  EXPECT_EQ(record().back().call, sim::Call::close);
  EXPECT_NE(log.find("Opened device SIM00001"), std::string::npos);

  const vdev::Capture c = readBack();
  EXPECT_EQ(c.linkType, 147u);
  ASSERT_EQ(c.records.size(), sent.size());
  EXPECT_EQ(writer.records(), sent.size());
  for (std::size_t i = 0; i < sent.size(); ++i) {
    EXPECT_EQ(c.records[i].bytes, sent[i]->bytes) << i;
    EXPECT_GE(c.records[i].micros, before) << i;
    if (i > 0) {
      EXPECT_GE(c.records[i].micros, c.records[i - 1].micros) << i;
    }
  }
}

TEST_F(Tapped, LeavesOutWritesTheDriverRefused) {
  chooseImage(patternImage(200));
  simulated().settings().failWritesFrom = 26;  // 10 resets and 15 sends of the first frame succeed
  CaptureWriter writer;
  std::string error;
  ASSERT_TRUE(writer.open(capturePath(), error)) << error;
  CaptureTap tap(simulated(), writer);
  adapter = &tap;
  EXPECT_EQ(run(profileV1_2), 1);
  writer.close();
  EXPECT_EQ(readBack().records.size(), 25u);
  EXPECT_GT(writes().size(), 25u);
}

TEST_F(Tapped, PassesFailuresAndReasonsThrough) {
  chooseImage(patternImage(10));
  simulated().settings().failOpen = true;
  CaptureWriter writer;
  std::string error;
  ASSERT_TRUE(writer.open(capturePath(), error)) << error;
  CaptureTap tap(simulated(), writer);
  EXPECT_STREQ(tap.name(), "sim");
  adapter = &tap;
  EXPECT_EQ(run(profileV1_2), 1);
  EXPECT_NE(log.find("Error FT_OpenEx(3), device 0"), std::string::npos) << log;
  EXPECT_NE(log.find("sim: opening refused (simulated failure)"), std::string::npos) << log;
  writer.close();
  EXPECT_FALSE(std::filesystem::exists(capturePath()));  // nothing sent: no capture
}

TEST(CaptureWriter, RefusesAFileItCannotCreate) {
  CaptureWriter writer;
  std::string error;
  const TempFolder folder("uploader-capture-writer");
  const std::string path = (folder / "no-such-folder-here" / "x.pcap").string();
  EXPECT_FALSE(writer.open(path, error));
  EXPECT_NE(error.find(path), std::string::npos) << error;
  EXPECT_FALSE(writer.isOpen());
  writer.write(0, nullptr, 0);  // harmless when not open
}

}  // namespace
