// --capture and decode: the capture an upload writes, read back by the
// decoder, by the capture reader and, where installed, by tshark.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "device/capture_reader.h"
#include "tests/cli/cli_fixture.h"

namespace {

constexpr std::size_t kRecordBytes = 16 + 76;

bool tsharkInstalled() { return std::system("tshark --version >/dev/null 2>&1") == 0; }

class CliCapture : public CliTest {
 protected:
  // One v1.1 upload of a 100-byte image to address 7, captured: 10 resets,
  // then 2 frames of 40 sends each.
  void upload() {
    imagePath = image(100);
    capturePath = dir + "/line.pcap";
    const ProcessResult r = cli({"upload", imagePath, "--adapter", "sim", "--fast", "--profile",
                                 "v1.1", "--address", "7", "--capture", capturePath, "--quiet"});
    ASSERT_EQ(r.exitCode, 0) << show(r);
  }
  std::string imagePath;
  std::string capturePath;
};

TEST_F(CliCapture, HoldsEveryPacketAsOneRecordOfLinkType147) {
  upload();
  const std::vector<std::uint8_t> raw = read(capturePath);
  ASSERT_GE(raw.size(), 24u);
  // Classic pcap, microseconds, written little-endian: d4 c3 b2 a1, version 2.4.
  const std::vector<std::uint8_t> head{0xD4, 0xC3, 0xB2, 0xA1, 2, 0, 4, 0};
  EXPECT_TRUE(std::equal(head.begin(), head.end(), raw.begin()));
  EXPECT_EQ(raw.size(), 24 + 90 * kRecordBytes);

  vdev::Capture c;
  std::string error;
  ASSERT_TRUE(vdev::readCapture(capturePath, c, error)) << error;
  EXPECT_FALSE(c.swapped);
  EXPECT_FALSE(c.nanoseconds);
  EXPECT_EQ(c.linkType, 147u);
  EXPECT_EQ(c.snapLength, 65535u);
  ASSERT_EQ(c.records.size(), 90u);
  for (std::size_t i = 0; i < c.records.size(); ++i) {
    const vdev::CaptureRecord& r = c.records[i];
    ASSERT_EQ(r.bytes.size(), 76u) << i;
    EXPECT_EQ(r.originalLength, 76u) << i;
    EXPECT_EQ(r.bytes[0], 0x91) << i;
    EXPECT_EQ(r.bytes[3], i < 10 ? 0xFF : 0xFE) << i;
  }
  // The second's pause between the reset burst and the data lies in the time stamps.
  EXPECT_GE(c.records[10].micros - c.records[9].micros, 1'000'000);
  EXPECT_GT(c.records.front().micros, 1'500'000'000'000'000);  // wall clock, after 2017
}

TEST_F(CliCapture, DecodesBackToTheImage) {
  upload();
  const std::string out = dir + "/received.bin";
  ProcessResult r =
      cli({"decode", capturePath, "--address", "7", "--expect", imagePath, "--out", out});
  ASSERT_EQ(r.exitCode, 0) << show(r);
  EXPECT_TRUE(contains(r.out, "Capture \"" + capturePath + "\": 90 records over")) << show(r);
  EXPECT_TRUE(contains(r.out, "frames seen          90\n")) << show(r);
  EXPECT_TRUE(contains(r.out, "copies of each       seq 0-1: 40\n")) << show(r);
  EXPECT_TRUE(contains(r.out, "verification         match: 100 file bytes and 28 zero bytes"))
      << show(r);
  std::vector<std::uint8_t> want = read(imagePath);
  want.resize(128, 0);
  EXPECT_EQ(read(out), want);

  // At an address the resets never named, nothing is stored; the report says where they went.
  r = cli({"decode", capturePath, "--address", "9", "--expect", imagePath});
  EXPECT_EQ(r.exitCode, 3) << show(r);
  EXPECT_TRUE(contains(r.out, "reset for another address 10 (last to 7)")) << show(r);
  EXPECT_TRUE(contains(r.err, "error: the device did not receive")) << show(r);

  // Against another file.
  const std::string other = image(101, "other.bin");
  r = cli({"decode", capturePath, "--address", "7", "--expect", other});
  EXPECT_EQ(r.exitCode, 3) << show(r);
  EXPECT_TRUE(contains(r.out, "MISMATCH at byte 100")) << show(r);
}

TEST_F(CliCapture, TsharkSeesStartCode0x91OnEveryRecord) {
  if (!tsharkInstalled()) GTEST_SKIP() << "tshark is not installed";
  upload();
  const std::string fields = dir + "/fields.txt";
  const std::string command =
      "tshark -r '" + capturePath +
      "' -o 'uat:user_dlts:\"User 0 (DLT=147)\",\"dmx\",\"0\",\"\",\"0\",\"\"' "
      "-T fields -e dmx.start_code > '" +
      fields + "' 2>/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  const std::vector<std::uint8_t> text = read(fields);
  std::string all(text.begin(), text.end());
  std::size_t lines = 0;
  for (std::size_t at = 0; at < all.size();) {
    const std::size_t end = all.find('\n', at);
    EXPECT_EQ(all.substr(at, end - at), "0x91") << "record " << lines + 1;
    ++lines;
    at = end == std::string::npos ? all.size() : end + 1;
  }
  EXPECT_EQ(lines, 90u);
}

TEST_F(CliCapture, AnInterruptedUploadLeavesOnlyWholeRecords) {
  // Normal pace: 50 ms a send, so the upload is still running when it is killed.
  // Until the upload ends, the capture is written beside its name.
  const std::string path = image(64 * 20);
  const std::string capture = dir + "/cut.pcap.partial";
  RunningProcess p = startProcess(
      program(), {"upload", path, "--adapter", "sim", "--capture", dir + "/cut.pcap", "--quiet"},
      dir);
  ASSERT_GT(p.pid, 0);
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (read(capture).size() < 24 + 20 * kRecordBytes && std::chrono::steady_clock::now() < giveUp)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  killProcess(p);

  const std::size_t size = read(capture).size();
  ASSERT_GE(size, 24 + 20 * kRecordBytes);
  EXPECT_EQ((size - 24) % kRecordBytes, 0u) << size;
  const ProcessResult r = cli({"decode", capture});
  EXPECT_EQ(r.exitCode, 0) << show(r);
  EXPECT_TRUE(contains(r.out, std::to_string((size - 24) / kRecordBytes) + " records")) << show(r);
  EXPECT_FALSE(contains(r.err, "warning")) << show(r);
}

TEST_F(CliCapture, DecodeRefusesWhatIsNoDmxCapture) {
  ProcessResult r = cli({"decode", dir + "/none.pcap"});
  EXPECT_EQ(r.exitCode, 2) << show(r);
  EXPECT_TRUE(
      contains(r.err, "error: cannot decode the capture: \"" + dir + "/none.pcap\" does not exist"))
      << show(r);

  r = cli({"decode", image(100, "junk.pcap")});
  EXPECT_EQ(r.exitCode, 2) << show(r);
  EXPECT_TRUE(contains(r.err, "not a pcap capture file")) << show(r);

  // A pcap of Ethernet frames.
  std::vector<std::uint8_t> ethernet{0xD4, 0xC3, 0xB2, 0xA1, 2,    0,    4, 0, 0, 0, 0, 0,
                                     0,    0,    0,    0,    0xFF, 0xFF, 0, 0, 1, 0, 0, 0};
  r = cli({"decode", file("eth.pcap", ethernet)});
  EXPECT_EQ(r.exitCode, 2) << show(r);
  EXPECT_TRUE(contains(r.err, "link type 1, not 147")) << show(r);

  // A capture cut inside a record is read to its last whole one, with a warning;
  // this one holds no image at all.
  std::vector<std::uint8_t> cut = ethernet;
  cut[20] = 147;
  for (int i = 0; i < 10; ++i) cut.push_back(0);
  r = cli({"decode", file("cut.pcap", cut)});
  EXPECT_EQ(r.exitCode, 4) << show(r);
  EXPECT_TRUE(contains(r.out, "0 records")) << show(r);
  EXPECT_TRUE(contains(r.err, "the capture ends in the middle of a record (10 bytes of it)"))
      << show(r);
}

}  // namespace
