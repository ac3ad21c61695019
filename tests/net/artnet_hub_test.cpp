// Many lines of a few nodes in one process: every line hears its node's
// ArtPollReply and its port's RDM answers, though they all arrive on one
// port. The reply port is a fixed one (as 6454 is in the field), so that
// sockets of their own per line, sharing that port, would lose replies.
#include "drivers/artnet_hub.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

#include "drivers/artnet.h"
#include "drivers/artnet_rdm.h"
#include "drivers/artnet_rdm_udp.h"
#include "tests/net/fake_node.h"
#include "tests/net/fake_rdm_node.h"

namespace {

using testnet::FakeNode;
using testnet::FakeRdmNode;
using testnet::FakeResponder;
using testnet::NodeIdentity;

// A UDP port free at the moment on every loopback address.
std::uint16_t freePort() {
  testnet::LoopbackSocket probe(0, 0);
  return probe.port();
}

// A node with 16 outputs: four ArtPollReplies of four ports each.
std::vector<NodeIdentity> sixteenPorts() {
  std::vector<NodeIdentity> ids;
  for (std::uint8_t bind = 1; bind <= 4; ++bind) {
    NodeIdentity id;
    id.sub = static_cast<std::uint8_t>(bind - 1);
    id.outputs = {0, 1, 2, 3};
    id.bindIndex = bind;
    ids.push_back(id);
  }
  return ids;
}

TEST(ArtnetHub, SixtyFourLinesOfFourNodesAllHearTheirNodeAndShareOnePollANode) {
#if defined(_WIN32)
  // Seen under Wine: the nodes get the poll, but their replies from
  // loopback addresses other than 127.0.0.1 never arrive.
  GTEST_SKIP() << "needs loopback addresses besides 127.0.0.1 (Linux)";
#endif
  const std::uint16_t replyPort = freePort();
  std::vector<std::unique_ptr<FakeNode>> nodes;
  std::vector<artnet::Settings> settings(4);
  for (std::uint32_t i = 0; i < 4; ++i) {
    nodes.push_back(std::make_unique<FakeNode>(sixteenPorts(), 0x7F000005 + i));
    if (!nodes.back()->good()) GTEST_SKIP() << "127.0.0." << 5 + i << " cannot be bound here";
    settings[i].nodePort = nodes.back()->port();
    settings[i].replyPort = replyPort;
    settings[i].pollWindowMs = 2000;
  }
  for (int round = 1; round <= 20; ++round) {
    std::vector<std::unique_ptr<Adapter>> lines;
    std::string error;
    for (int i = 0; i < 64; ++i) {
      const std::string argument = "127.0.0." + std::to_string(5 + i / 16) +
                                   ":0:" + std::to_string(i % 16 / 4) + ":" + std::to_string(i % 4);
      lines.push_back(
          artnet::makeWith(argument, settings[static_cast<std::size_t>(i / 16)], error));
      ASSERT_NE(lines.back(), nullptr) << error;
    }
    std::vector<int> listed(64, -1);
    std::vector<std::thread> openings;
    for (int i = 0; i < 64; ++i)
      openings.emplace_back([&, i] {
        std::vector<char> text(64, '\0');
        char* slots[] = {text.data(), nullptr};
        std::int32_t count = 0;
        if (lines[static_cast<std::size_t>(i)]->FT_ListDevices(slots, &count, FT_LIST_ALL) == FT_OK)
          listed[static_cast<std::size_t>(i)] = count;
      });
    for (std::thread& t : openings) t.join();
    for (int i = 0; i < 64; ++i)
      EXPECT_GE(listed[static_cast<std::size_t>(i)], 1)
          << "round " << round << ": line " << i << " heard no node (polls seen "
          << nodes[static_cast<std::size_t>(i / 16)]->pollsSeen() << ")";
    for (std::size_t n = 0; n < 4; ++n)
      EXPECT_EQ(nodes[n]->pollsSeen(), round) << "node " << n << " polled more than once a round";
    if (HasFailure()) return;
    // The lines go, and with them the hub and its answers: the next round polls anew.
  }
}

TEST(ArtnetHub, EightPortsOfOneNodeAreReadBackAtOnce) {
  const std::uint16_t replyPort = freePort();
  // Eight RDM ports on 127.0.0.1: each listens at a UDP port of its own,
  // but to the hub they are one node answering about eight port addresses.
  std::vector<std::unique_ptr<FakeRdmNode>> ports;
  for (std::uint16_t p = 0; p < 8; ++p) {
    std::vector<FakeResponder> fixtures;
    for (std::uint32_t f = 1; f <= 3; ++f) {
      FakeResponder r;
      r.device = p * 100u + f;
      r.address = static_cast<std::uint16_t>(f * 10);
      fixtures.push_back(r);
    }
    ports.push_back(std::make_unique<FakeRdmNode>(static_cast<std::uint16_t>(p + 1), fixtures));
    ASSERT_TRUE(ports.back()->good());
  }
  std::vector<std::string> outcome(8);
  std::vector<std::thread> reads;
  for (std::size_t p = 0; p < 8; ++p)
    reads.emplace_back([&, p] {
      artnet::UdpRdmTransport transport;
      std::string why;
      const auto portAddress = static_cast<std::uint16_t>(p + 1);
      if (!transport.open("127.0.0.1", portAddress, ports[p]->port(), replyPort, why)) {
        outcome[p] = why;
        return;
      }
      artnet::RdmConversation rdm(transport, realClock(), portAddress, artnet::kDefaultController,
                                  {1500, 500, 3, 3, 2000});
      std::vector<rdm::Uid> uids;
      if (!rdm.readTod(uids, why)) {
        outcome[p] = "no table: " + why;
        return;
      }
      for (const rdm::Uid& uid : uids) {
        const artnet::FixtureReading r = artnet::readFixture(rdm, uid, false);
        if (!r.hasInfo || uid.device / 100 != p) outcome[p] += "bad reading; ";
      }
      outcome[p] += std::to_string(uids.size()) + " fixtures";
    });
  for (std::thread& t : reads) t.join();
  for (std::size_t p = 0; p < 8; ++p) EXPECT_EQ(outcome[p], "3 fixtures") << "port " << p + 1;
}

TEST(ArtnetHub, ASecondHolderOfThePortIsToldAndStillHearsNodesAnsweringItsOwnPort) {
  testnet::LoopbackSocket other(0, 0);  // another program on the reply port
  FakeNode node;
  ASSERT_TRUE(node.good());
  artnet::Settings settings;
  settings.nodePort = node.port();
  settings.replyPort = other.port();
  std::string error;
  std::unique_ptr<Adapter> line = artnet::makeWith("127.0.0.1", settings, error);
  ASSERT_NE(line, nullptr) << error;
  std::vector<char> text(64, '\0');
  char* slots[] = {text.data(), nullptr};
  std::int32_t count = 0;
  ASSERT_EQ(line->FT_ListDevices(slots, &count, FT_LIST_ALL), FT_OK);
  EXPECT_EQ(count, 1);
  std::shared_ptr<artnet::Hub> hub = artnet::Hub::get(other.port(), error);
  ASSERT_NE(hub, nullptr) << error;
  EXPECT_NE(hub->portNote().find("is taken by another program"), std::string::npos)
      << hub->portNote();
}

}  // namespace

namespace {

// "artnet:HOST:all": a node of six outputs answers in two replies (bind
// indexes 1 and 2); every output becomes a line, RDM as each port says.
TEST(ArtnetAllPorts, EveryOutputOfEveryReplyOfTheNodeIsALine) {
  NodeIdentity first;
  first.outputs = {0, 1, 2, 3};
  first.rdmOffMask = 0b0100;
  NodeIdentity second;
  second.sub = 1;
  second.outputs = {0, 5};
  second.bindIndex = 2;
  FakeNode node({first, second});
  ASSERT_TRUE(node.good());
  artnet::Settings settings;
  settings.nodePort = node.port();
  settings.replyPort = 0;
  std::vector<ListedNode> nodes;
  std::string why;
  ASSERT_TRUE(artnet::nodeLinesWith("127.0.0.1", settings, nodes, why)) << why;
  ASSERT_EQ(nodes.size(), 1u);
  std::string lines;
  for (const OfferedLine& l : nodes[0].lines) lines += l.argument + " " + l.detail + "\n";
  EXPECT_EQ(lines,
            "artnet:127.0.0.1:0:0:0 RDM\nartnet:127.0.0.1:0:0:1 RDM\n"
            "artnet:127.0.0.1:0:0:2 no RDM\nartnet:127.0.0.1:0:0:3 RDM\n"
            "artnet:127.0.0.1:0:1:0 RDM\nartnet:127.0.0.1:0:1:5 RDM\n");
  EXPECT_EQ(node.pollsSeen(), 1);

  FakeNode mute(std::vector<NodeIdentity>{});
  settings.nodePort = mute.port();
  settings.pollWindowMs = 300;
  nodes.clear();
  EXPECT_TRUE(artnet::nodeLinesWith("127.0.0.1", settings, nodes, why));
  EXPECT_TRUE(nodes.empty());
  EXPECT_NE(why.find("no Art-Net node answered"), std::string::npos) << why;
}

}  // namespace
