// The Art-Net and E1.31 byte layouts on their own: what a listing makes of
// replies that are not plain, and the numbers that wrap or are derived.
#include <gtest/gtest.h>

#include "drivers/artnet_wire.h"
#include "drivers/e131_wire.h"
#include "tests/net/fake_node.h"

namespace {

TEST(ArtnetWire, SequenceRunsFrom1To255AndNeverHits0) {
  EXPECT_EQ(artnet::nextSequence(0), 1);
  EXPECT_EQ(artnet::nextSequence(1), 2);
  EXPECT_EQ(artnet::nextSequence(254), 255);
  EXPECT_EQ(artnet::nextSequence(255), 1);
}

TEST(ArtnetWire, RepliesThatAreNotArtPollReplyAreIgnored) {
  testnet::NodeIdentity id;
  auto reply = testnet::pollReplyFor(id);
  artnet::PollReply read;
  EXPECT_TRUE(artnet::parsePollReply(reply.data(), reply.size(), read));
  EXPECT_TRUE(artnet::parsePollReply(reply.data(), 194, read)) << "an older node's short reply";
  EXPECT_FALSE(artnet::parsePollReply(reply.data(), 193, read));
  auto poll = reply;
  poll[9] = 0x20;  // OpPoll: our own broadcast poll coming back
  EXPECT_FALSE(artnet::parsePollReply(poll.data(), poll.size(), read));
  auto other = reply;
  other[0] = 'a';
  EXPECT_FALSE(artnet::parsePollReply(other.data(), other.size(), read));
}

TEST(ArtnetWire, ListingShowsOutputsOnlyAndCleansNames) {
  testnet::NodeIdentity id;
  id.shortName = "Node\x01\x7f  ";
  id.outputs = {7, 8};
  auto reply = testnet::pollReplyFor(id);
  reply[175] = 0x40;  // second port: an input, not an output
  reply[173] = 3;     // a third port, of no type
  artnet::PollReply read;
  ASSERT_TRUE(artnet::parsePollReply(reply.data(), reply.size(), read));
  EXPECT_EQ(artnet::listingText(read, "10.1.2.3"), "10.1.2.3 Node?? [0:0:7]");
  reply[174] = 0x00;
  ASSERT_TRUE(artnet::parsePollReply(reply.data(), reply.size(), read));
  EXPECT_EQ(artnet::listingText(read, "10.1.2.3"), "10.1.2.3 Node?? []");
}

TEST(ArtnetWire, PortAddressReadEitherWayAndShownAsNetSubUniverse) {
  std::uint16_t p = 0;
  std::string error;
  ASSERT_TRUE(artnet::parsePortAddress("4660", p, error));  // 0x1234
  EXPECT_EQ(p, 0x1234);
  EXPECT_EQ(artnet::portAddressText(p), "18:3:4");
  ASSERT_TRUE(artnet::parsePortAddress("18:3:4", p, error));
  EXPECT_EQ(p, 0x1234);
  ASSERT_TRUE(artnet::parsePortAddress("0", p, error));
  EXPECT_EQ(p, 0);
}

TEST(E131Wire, MulticastGroupOfAUniverse) {
  EXPECT_EQ(e131::multicastGroup(1), 0xEFFF0001u);
  EXPECT_EQ(e131::multicastGroup(258), 0xEFFF0102u);
  EXPECT_EQ(e131::multicastGroup(63999), 0xEFFFF9FFu);
}

TEST(E131Wire, NewCidsDifferAndReadBackFromTheirText) {
  const e131::Cid a = e131::newCid();
  const e131::Cid b = e131::newCid();
  EXPECT_NE(a, b);
  e131::Cid read{};
  ASSERT_TRUE(e131::parseCid(e131::cidText(a), read));
  EXPECT_EQ(read, a);
}

}  // namespace
