// Whole uploads through the sACN driver, unicast to a receiver of the
// test's own on 127.0.0.1: every frame must arrive as one E1.31 data packet
// whose property values are the frame, numbered per universe, from a source
// that keeps its CID, and the stream must end with three Stream_Terminated
// packets.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "device/verdict.h"
#include "device/virtual_device.h"
#include "drivers/registry.h"
#include "drivers/sacn.h"
#include "drivers/sacn_cid.h"
#include "engine/link.h"
#include "engine/program.h"
#include "engine/state.h"
#include "profiles/profiles.h"
#include "tests/net/net_harness.h"

namespace {

using testnet::Datagram;

constexpr const char* kCid = "6ba7b810-9dad-41d1-80b4-00c04fd430c8";
constexpr std::uint8_t kCidBytes[16] = {0x6b, 0xa7, 0xb8, 0x10, 0x9d, 0xad, 0x41, 0xd1,
                                        0x80, 0xb4, 0x00, 0xc0, 0x4f, 0xd4, 0x30, 0xc8};

std::uint16_t be16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] << 8 | b[at + 1]);
}

std::uint32_t be32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint32_t>(be16(b, at)) << 16 | be16(b, at + 2);
}

// The fields of one E1.31 data packet, read by hand at their offsets.
struct Data {
  std::uint8_t sequence, options, priority;
  std::uint16_t universe;
  std::vector<std::uint8_t> values;
};

::testing::AssertionResult readData(const Datagram& d, Data& out) {
  const auto& b = d.bytes;
  auto fail = [] { return ::testing::AssertionFailure(); };
  if (b.size() < 126) return fail() << b.size() << " bytes";
  if (be16(b, 0) != 0x0010 || be16(b, 2) != 0) return fail() << "preamble/post-amble";
  if (std::memcmp(&b[4], "ASC-E1.17\0\0\0", 12) != 0) return fail() << "packet identifier";
  if (be16(b, 16) != (0x7000 | (b.size() - 16))) return fail() << "root flags and length";
  if (be32(b, 18) != 0x00000004) return fail() << "root vector";
  if (std::memcmp(&b[22], kCidBytes, 16) != 0) return fail() << "CID";
  if (be16(b, 38) != (0x7000 | (b.size() - 38))) return fail() << "framing flags and length";
  if (be32(b, 40) != 0x00000002) return fail() << "framing vector";
  const std::string name(reinterpret_cast<const char*>(&b[44]), 64);
  if (name != std::string("uploader") + std::string(56, '\0')) return fail() << "source name";
  if (be16(b, 109) != 0) return fail() << "synchronization address";
  if (be16(b, 115) != (0x7000 | (b.size() - 115))) return fail() << "DMP flags and length";
  if (b[117] != 0x02 || b[118] != 0xA1) return fail() << "DMP vector / address type";
  if (be16(b, 119) != 0 || be16(b, 121) != 1) return fail() << "first address / increment";
  if (be16(b, 123) != b.size() - 125) return fail() << "property value count";
  out = {b[111], b[112], b[108], be16(b, 113), {b.begin() + 125, b.end()}};
  return ::testing::AssertionSuccess();
}

class SacnUpload : public testnet::NetUploadTest {
 protected:
  void SetUp() override {
    NetUploadTest::SetUp();
    settings.port = node.port();
    settings.cid = kCid;
  }
  // An adapter for "sacn:ARGUMENT" with the test's settings, kept for the test.
  Adapter* sacnTo(const std::string& argument) {
    std::string error;
    return keep(sacn::makeWith(argument, settings, error), error);
  }
  sacn::Settings settings;
};

// Whether `cid` is taken as a CID: an adapter with it can be made.
bool cidTaken(const std::string& cid, std::string& error) {
  return sacn::makeWith("1", {5568, cid}, error) != nullptr;
}

TEST_F(SacnUpload, EveryFrameIsOneDataPacketAndTheStreamEndsTerminated) {
  const auto image = patternImage(30 * 64 + 1);
  chooseImage(image);
  address = 300;
  ASSERT_EQ(runThrough(sacnTo("300@127.0.0.1"), profileV1_1), uploadDone) << log;
  EXPECT_FALSE(lockstep.lagged);
  const auto frames = framesSent();
  ASSERT_EQ(frames.size(), recording->writes.size()) << "a write failed";
  ASSERT_TRUE(node.waitFor(frames.size() + 3, 3000));
  const auto packets = node.packets();
  ASSERT_EQ(packets.size(), frames.size() + 3);

  vdev::VirtualDevice device(300);
  Data first{};
  ASSERT_TRUE(readData(packets[0], first));
  for (std::size_t i = 0; i < packets.size(); ++i) {
    SCOPED_TRACE("packet " + std::to_string(i));
    Data data{};
    ASSERT_TRUE(readData(packets[i], data));
    EXPECT_EQ(data.sequence, static_cast<std::uint8_t>(first.sequence + i));
    EXPECT_EQ(data.priority, 100);
    EXPECT_EQ(data.universe, 300);
    const bool closing = i >= frames.size();
    // Never Preview_Data: that would keep a node from putting it on the line.
    EXPECT_EQ(data.options, closing ? 0x40 : 0x00);
    ASSERT_EQ(data.values, closing ? frames.back() : frames[i]);
    EXPECT_EQ(data.values[0], 0x91);
    if (!closing) device.receive(data.values.data(), data.values.size());
  }
  const vdev::Verdict verdict = vdev::compare(device, image);
  EXPECT_TRUE(verdict.match) << vdev::report(device, &verdict);
}

TEST_F(SacnUpload, SequenceNumbersArePerUniverseAndCarryOn) {
  chooseImage(patternImage(10));
  // One adapter per universe, as one program run would keep them.
  Adapter* universe5 = sacnTo("5@127.0.0.1");
  ASSERT_EQ(runThrough(universe5, profileEarly), uploadDone) << log;
  const std::size_t a = framesSent().size() + 3;
  ASSERT_EQ(runThrough(sacnTo("6@127.0.0.1"), profileEarly), uploadDone) << log;
  const std::size_t b = framesSent().size() + 3;
  ASSERT_EQ(runThrough(universe5, profileEarly), uploadDone) << log;
  const std::size_t c = framesSent().size() + 3;
  ASSERT_TRUE(node.waitFor(a + b + c, 3000));
  const auto packets = node.packets();
  ASSERT_EQ(packets.size(), a + b + c);
  std::vector<Data> all(packets.size());
  for (std::size_t i = 0; i < packets.size(); ++i) ASSERT_TRUE(readData(packets[i], all[i]));
  EXPECT_EQ(all[a].universe, 6);
  EXPECT_EQ(all[a + b].universe, 5);
  // Universe 5 goes on where it stopped; universe 6 has a count of its own.
  EXPECT_EQ(all[a + b].sequence, static_cast<std::uint8_t>(all[a - 1].sequence + 1));
  EXPECT_EQ(all[a + b - 1].sequence, static_cast<std::uint8_t>(all[a].sequence + b - 1));
}

TEST_F(SacnUpload, ListingNamesWhereThePacketsGoWithoutSendingAny) {
  mainLine.adapter = sacnTo("258@127.0.0.1");
  ASSERT_TRUE(linkLoad(mainLine) && linkList(mainLine));
  EXPECT_EQ(iNumDevs, 1);
  EXPECT_EQ(std::string(cBufLD), "universe 258 -> 127.0.0.1:" + std::to_string(node.port()));
  settings = {};
  mainLine.adapter = sacnTo("258");
  ASSERT_TRUE(linkList(mainLine));
  EXPECT_STREQ(cBufLD, "universe 258 -> 239.255.1.2:5568");  // the universe's multicast group
  EXPECT_EQ(node.count(), 0u);
}

TEST(SacnAdapter, UniverseAndHostAreCheckedWhenTheAdapterIsNamed) {
  std::string error;
  for (const char* bad : {"sacn", "sacn:0", "sacn:64000", "sacn:abc", "sacn:1x", "sacn:@host",
                          "sacn:1@", "sacn:123456"}) {
    error.clear();
    EXPECT_EQ(makeAdapter(bad, {}, error), nullptr) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
  EXPECT_NE(makeAdapter("sacn:1", {}, error), nullptr) << error;
  EXPECT_NE(makeAdapter("sacn:63999@node.example", {}, error), nullptr) << error;
}

TEST(SacnCid, GivenCidsAreCheckedAndNeverTheNilOne) {
  std::string error;
  EXPECT_FALSE(cidTaken("not a cid", error));
  EXPECT_FALSE(cidTaken("6ba7b810-9dad-41d1-80b4-00c04fd430c", error));   // short
  EXPECT_FALSE(cidTaken("6ba7b810x9dad-41d1-80b4-00c04fd430c8", error));  // no dash
  EXPECT_FALSE(cidTaken("6ba7b810-9dad-41d1-80b4-00c04fd430cg", error));  // not hex
  EXPECT_FALSE(cidTaken("00000000-0000-0000-0000-000000000000", error));  // nil
  EXPECT_NE(error.find("not a CID"), std::string::npos) << error;
  // Either case, and the blanks a pasted text brings along.
  EXPECT_TRUE(cidTaken(" 6BA7B810-9DAD-41D1-80B4-00C04FD430C8\n", error));
  EXPECT_TRUE(cidTaken("", error));
}

class SacnCidFile : public ::testing::Test {
 protected:
  // `dir` is not there yet: loadOrCreateCid makes the folders it needs.
  void SetUp() override { dir = folder.path() / "cid-folder"; }
  TempFolder folder{"uploader-sacn-cid"};
  std::filesystem::path dir;
};

TEST_F(SacnCidFile, MadeOnceThenReadBack) {
  const std::string path = (dir / "nested" / "cid").string();
  e131::Cid made{}, again{};
  std::string error;
  ASSERT_TRUE(sacn::loadOrCreateCid(path, made, error)) << error;
  ASSERT_TRUE(sacn::loadOrCreateCid(path, again, error)) << error;
  EXPECT_EQ(made, again);
  EXPECT_EQ(made[6] >> 4, 4) << "not a version 4 UUID";
  EXPECT_EQ(made[8] & 0xC0, 0x80) << "not the RFC 4122 variant";
  std::ifstream in(path);
  std::string text;
  std::getline(in, text);
  EXPECT_EQ(text, e131::cidText(made));
  EXPECT_EQ(text.size(), 36u);
}

TEST_F(SacnCidFile, SomethingElseInTheFileIsReportedAndLeftAlone) {
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "cid").string();
  std::ofstream(path) << "my notes\n";
  e131::Cid cid{};
  std::string error;
  EXPECT_FALSE(sacn::loadOrCreateCid(path, cid, error));
  EXPECT_NE(error.find(path), std::string::npos) << error;
  EXPECT_NE(error.find("--cid"), std::string::npos) << error;
  std::ifstream in(path);
  std::string text;
  std::getline(in, text);
  EXPECT_EQ(text, "my notes");
}

TEST(SacnCidPlace, SettingsFolderOfThisSystem) {
  const std::string path = sacn::cidPath();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(std::filesystem::path(path).filename(), "cid");
  EXPECT_EQ(std::filesystem::path(path).parent_path().filename(), "tavik-uploader");
}

}  // namespace
