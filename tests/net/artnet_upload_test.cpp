// Whole uploads through the Art-Net driver to a node of the test's own on
// 127.0.0.1: every frame the engine hands over must arrive as one ArtNzs
// packet, in order, with the header Art-Net 4 prescribes, and a virtual
// device fed from the packets must end up holding the image.
#include <gtest/gtest.h>

#include <cstring>

#include "device/verdict.h"
#include "device/virtual_device.h"
#include "drivers/artnet.h"
#include "drivers/registry.h"
#include "engine/link.h"
#include "engine/program.h"
#include "engine/state.h"
#include "profiles/profiles.h"
#include "tests/net/net_harness.h"

namespace {

using testnet::Datagram;
using testnet::FakeNode;
using testnet::NodeIdentity;

class ArtnetUpload : public testnet::NetUploadTest {
 protected:
  void SetUp() override {
    NetUploadTest::SetUp();
    settings.nodePort = node.port();
    settings.replyPort = 0;
    settings.pollWindowMs = 1500;
  }
  // An adapter for "artnet:ARGUMENT" with the test's settings, kept for the test.
  Adapter* artnetTo(const std::string& argument) {
    std::string error;
    return keep(artnet::makeWith(argument, settings, error), error);
  }
  artnet::Settings settings;
};

// The fields of one ArtNzs packet, read by hand from its bytes.
struct Nzs {
  std::uint8_t sequence, startCode, subUni, net;
  std::vector<std::uint8_t> slots;
};

::testing::AssertionResult readNzs(const Datagram& d, Nzs& out) {
  const auto& b = d.bytes;
  if (b.size() < 18) return ::testing::AssertionFailure() << b.size() << " bytes";
  if (std::memcmp(b.data(), "Art-Net\0", 8) != 0) return ::testing::AssertionFailure() << "no ID";
  if (b[8] != 0x00 || b[9] != 0x51)
    return ::testing::AssertionFailure() << "OpCode bytes " << int(b[8]) << " " << int(b[9]);
  if (b[10] != 0 || b[11] != 14)
    return ::testing::AssertionFailure() << "ProtVer " << int(b[10]) << " " << int(b[11]);
  const std::size_t length = static_cast<std::size_t>(b[16] << 8 | b[17]);
  if (length != b.size() - 18)
    return ::testing::AssertionFailure() << "Length " << length << " for " << b.size() - 18;
  out = {b[12], b[13], b[14], b[15], {b.begin() + 18, b.end()}};
  return ::testing::AssertionSuccess();
}

TEST_F(ArtnetUpload, EveryFrameArrivesAsOneArtNzsPacketInOrder) {
  // 40 data frames, the first two sent 40 times: 10 + 38 * 10 + 2 * 40 = 470
  // packets, so the sequence number wraps past 255 once.
  const auto image = patternImage(40 * 64 - 20);
  chooseImage(image);
  address = 12;
  ASSERT_EQ(runThrough(artnetTo("127.0.0.1:1:2:3"), profileV1_2), uploadDone) << log;
  EXPECT_FALSE(lockstep.lagged);

  const auto frames = framesSent();
  ASSERT_EQ(frames.size(), recording->writes.size()) << "a write failed";
  ASSERT_EQ(frames.size(), 470u);
  ASSERT_TRUE(node.waitFor(frames.size(), 3000));
  const auto packets = node.packets();
  ASSERT_EQ(packets.size(), frames.size());
  EXPECT_EQ(node.pollsSeen(), 1);

  vdev::VirtualDevice device(12);
  std::uint8_t expectedSequence = 0;
  for (std::size_t i = 0; i < packets.size(); ++i) {
    SCOPED_TRACE("packet " + std::to_string(i));
    Nzs nzs{};
    ASSERT_TRUE(readNzs(packets[i], nzs));
    expectedSequence = expectedSequence == 255 ? 1 : expectedSequence + 1;
    EXPECT_EQ(nzs.sequence, expectedSequence);
    EXPECT_EQ(nzs.startCode, 0x91);
    EXPECT_EQ(nzs.subUni, 0x23);  // port address 1:2:3
    EXPECT_EQ(nzs.net, 0x01);
    ASSERT_EQ(nzs.slots.size(), 75u);
    std::vector<std::uint8_t> packet{nzs.startCode};
    packet.insert(packet.end(), nzs.slots.begin(), nzs.slots.end());
    ASSERT_EQ(packet, frames[i]);
    device.receive(packet.data(), packet.size());
  }
  const vdev::Verdict verdict = vdev::compare(device, image);
  EXPECT_TRUE(verdict.match) << vdev::report(device, &verdict);
  auto rebuilt = testnet::imageFromFrames(frames);
  rebuilt.resize(image.size());
  EXPECT_EQ(rebuilt, image);
}

TEST_F(ArtnetUpload, PortAddressAsOneNumberAndSequenceCarriesOnAcrossUploads) {
  const auto image = patternImage(64);
  chooseImage(image);
  // One adapter for both uploads, as one program run would use.
  Adapter* node32767 = artnetTo("127.0.0.1:32767");
  ASSERT_EQ(runThrough(node32767, profileEarly), uploadDone) << log;
  const std::size_t first = framesSent().size();
  ASSERT_EQ(runThrough(node32767, profileEarly), uploadDone) << log;
  ASSERT_TRUE(node.waitFor(first + framesSent().size(), 3000));
  const auto packets = node.packets();
  ASSERT_EQ(packets.size(), first + framesSent().size());
  std::uint8_t expected = 0;
  for (const Datagram& d : packets) {
    Nzs nzs{};
    ASSERT_TRUE(readNzs(d, nzs));
    expected = expected == 255 ? 1 : expected + 1;
    EXPECT_EQ(nzs.sequence, expected);  // the second upload does not start again at 1
    EXPECT_EQ(nzs.subUni, 0xFF);
    EXPECT_EQ(nzs.net, 0x7F);
  }
}

TEST_F(ArtnetUpload, NodeThatStopsListeningFailsTheUpload) {
  // A node that answers the poll, then a port where nothing listens: the
  // first packet goes out, the refusal comes back, and from then on every
  // send fails, so the engine stops instead of reporting success.
  std::uint16_t closedPort = 0;
  {
    testnet::LoopbackSocket gone;
    closedPort = gone.port();
  }
  settings.nodePort = closedPort;
  settings.pollWindowMs = 200;
  mainLine.clock = &clock;  // nothing arrives anywhere, so there is nothing to wait for
  mainLine.wantedSerial = "127.0.0.1";
  chooseImage(patternImage(300));
  const int result = runThrough(artnetTo("127.0.0.1"), profileV1_1);
  mainLine.wantedSerial = nullptr;
  if (result == uploadDone && recording->goodWrites() == recording->writes.size())
    GTEST_SKIP() << "this system's sockets do not report a refused UDP port on send";
  EXPECT_EQ(result, uploadLinkFailed) << log;
  ASSERT_FALSE(recording->writes.empty());
  EXPECT_LT(recording->goodWrites(), 10u);
  EXPECT_NE(std::string(adapter->lastError()).find("127.0.0.1:"), std::string::npos)
      << adapter->lastError();
  EXPECT_NE(log.find("Send failed at frame"), std::string::npos) << log;
}

// Listing: ArtPoll to the named host, ArtPollReply back to the poll's port.
class ArtnetListing : public ArtnetUpload {
 protected:
  bool list(const std::string& argument) {
    mainLine.adapter = adapter = artnetTo(argument);
    return linkLoad(mainLine) && linkList(mainLine);
  }
};

TEST_F(ArtnetListing, NodeAnswersWithNameAddressAndOutputs) {
  ASSERT_TRUE(list("127.0.0.1"));
  EXPECT_EQ(iNumDevs, 1);
  EXPECT_STREQ(cBufLD, "127.0.0.1 FakeNode [0:0:1]");
  EXPECT_EQ(node.pollsSeen(), 1);
  EXPECT_EQ(node.count(), 0u) << "listing sent something besides ArtPoll";
}

TEST_F(ArtnetListing, EachReplyOfALargeNodeIsListedAndLongTextsAreCut) {
  NodeIdentity a;
  a.net = 3;
  a.sub = 4;
  a.outputs = {0, 1, 2, 15};
  a.bindIndex = 1;
  NodeIdentity b;
  b.shortName = "";
  b.longName = std::string(60, 'L');
  b.outputs = {5};
  b.bindIndex = 2;
  FakeNode big(std::vector<NodeIdentity>{a, b});
  ASSERT_TRUE(big.good());
  settings.nodePort = big.port();
  ASSERT_TRUE(list("127.0.0.1"));
  ASSERT_EQ(iNumDevs, 2);
  EXPECT_STREQ(cBufLD, "127.0.0.1 FakeNode [3:4:0 3:4:1 3:4:2 3:4:15]");
  const std::string second = cBufLD + kSerialSlot;
  EXPECT_EQ(second.size(), 63u);
  EXPECT_EQ(second.rfind("127.0.0.1 LLLL", 0), 0u) << second;
}

TEST_F(ArtnetListing, AFloodOfRepliesCountsOncePerBindIndex) {
  std::vector<NodeIdentity> flood(300);
  for (std::size_t i = 0; i < flood.size(); ++i) {
    flood[i].shortName = "N";
    flood[i].shortName += std::to_string(i);
  }
  FakeNode noisy(flood);  // 300 different replies, all with bind index 1
  ASSERT_TRUE(noisy.good());
  settings.nodePort = noisy.port();
  ASSERT_TRUE(list("127.0.0.1"));
  EXPECT_EQ(iNumDevs, 1);
  EXPECT_STREQ(cBufLD, "127.0.0.1 N0 [0:0:1]");
}

TEST_F(ArtnetListing, SilentHostListsNothingAndCannotBeOpened) {
  FakeNode mute(std::vector<NodeIdentity>{});
  ASSERT_TRUE(mute.good());
  settings.nodePort = mute.port();
  settings.pollWindowMs = 300;
  const std::int64_t before = realClock().nowMicros();
  ASSERT_TRUE(list("127.0.0.1"));
  EXPECT_GE(realClock().nowMicros() - before, 300'000) << "the listing gave up early";
  EXPECT_EQ(iNumDevs, 0);
  EXPECT_EQ(mute.pollsSeen(), 1);
  LogCollector collected;
  mainLine.log = &collected;
  EXPECT_FALSE(linkOpen(mainLine));
  mainLine.log = nullptr;
  const std::string out = collected.text();
  EXPECT_NE(out.find("no Art-Net node answered an ArtPoll at 127.0.0.1"), std::string::npos) << out;
}

TEST(ArtnetAdapter, ArgumentsAreCheckedWhenTheAdapterIsNamed) {
  std::string error;
  EXPECT_EQ(makeAdapter("artnet", {}, error), nullptr);
  EXPECT_NE(error.find("artnet:HOST[:PORT-ADDRESS|:all]"), std::string::npos) << error;
  for (const char* bad : {"artnet:h:32768", "artnet:h:1:16:0", "artnet:h:128:0:0", "artnet:h:x",
                          "artnet:h:1:2", "artnet:h:-1", "artnet:h:"}) {
    error.clear();
    EXPECT_EQ(makeAdapter(bad, {}, error), nullptr) << bad;
    EXPECT_NE(error.find("port address"), std::string::npos) << bad << ": " << error;
  }
  EXPECT_NE(makeAdapter("artnet:node.example:127:15:15", {}, error), nullptr) << error;
  EXPECT_NE(makeAdapter("artnet:10.0.0.5:0", {}, error), nullptr) << error;
}

TEST_F(ArtnetUpload, WritesThatArtNzsCannotCarryAreRefusedAndSendNothing) {
  Adapter* t = artnetTo("127.0.0.1");
  ASSERT_TRUE(t->load());
  FT_HANDLE h = nullptr;
  ASSERT_EQ(t->FT_OpenEx(const_cast<char*>("127.0.0.1 FakeNode [0:0:0]"), 1, &h), FT_OK)
      << t->lastError();
  EXPECT_EQ(t->FT_SetBaudRate(h, 250000), FT_OK);
  EXPECT_EQ(t->FT_SetDataCharacteristics(h, 8, 2, 0), FT_OK);
  EXPECT_NE(t->FT_W32_EscapeCommFunction(h, 4), 0);
  EXPECT_NE(t->FT_W32_SetCommBreak(h), 0);
  EXPECT_NE(t->FT_W32_ClearCommBreak(h), 0);

  std::uint8_t bytes[600] = {0x91};
  FT_DWORD written = 99;
  EXPECT_NE(t->FT_Write(h, bytes, 1, &written), FT_OK);  // no slot at all
  EXPECT_NE(t->FT_Write(h, bytes, 514, &written), FT_OK);
  bytes[0] = 0x00;  // null start code: that is ArtDmx's
  EXPECT_NE(t->FT_Write(h, bytes, 76, &written), FT_OK);
  bytes[0] = 0xCC;  // RDM: that is ArtRdm's
  EXPECT_NE(t->FT_Write(h, bytes, 76, &written), FT_OK);
  EXPECT_NE(std::string(t->lastError()).find("start code 0xCC"), std::string::npos)
      << t->lastError();
  EXPECT_EQ(written, 0u);
  bytes[0] = 0x91;
  EXPECT_EQ(t->FT_Write(h, bytes, 513, &written), FT_OK) << t->lastError();
  EXPECT_EQ(written, 513u);
  EXPECT_EQ(t->FT_Write(h, bytes, 2, &written), FT_OK) << t->lastError();
  EXPECT_EQ(t->FT_Close(h), FT_OK);
  EXPECT_NE(t->FT_Write(h, bytes, 76, &written), FT_OK) << "a closed node took a write";

  ASSERT_TRUE(node.waitFor(2, 3000));
  const auto packets = node.packets();
  ASSERT_EQ(packets.size(), 2u);
  EXPECT_EQ(packets[0].bytes.size(), 18u + 512u);
  EXPECT_EQ(packets[1].bytes.size(), 19u);
}

}  // namespace
