// The RDM conversation through an Art-Net node, against a node of the
// test's own on 127.0.0.1: the table of devices in blocks (one repeated),
// TodNak, a NACK, an ACK_TIMER, an answer to an older request, from
// another UID or with a wrong checksum, and a node that says nothing.
#include "drivers/artnet_rdm.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <thread>

#include "drivers/artnet_rdm_udp.h"
#include "tests/net/fake_rdm_node.h"

namespace {

using testnet::FakeRdmNode;
using testnet::FakeResponder;
using Steady = std::chrono::steady_clock;

constexpr std::uint16_t kPort = 0x0123;  // Net 1, Sub-Net 2, Universe 3

long msSince(Steady::time_point start) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - start).count());
}

class ArtnetRdm : public ::testing::Test {
 protected:
  void start(std::vector<FakeResponder> responders) {
    node = std::make_unique<FakeRdmNode>(kPort, std::move(responders));
    ASSERT_TRUE(node->good());
    std::string why;
    ASSERT_TRUE(transport.open("127.0.0.1", kPort, node->port(), 0, why)) << why;
    rdm = std::make_unique<artnet::RdmConversation>(transport, realClock(), kPort,
                                                    artnet::kDefaultController, timeouts);
  }
  artnet::RdmTimeouts timeouts{600, 200, 3, 3, 2000};
  std::unique_ptr<FakeRdmNode> node;
  artnet::UdpRdmTransport transport;
  std::unique_ptr<artnet::RdmConversation> rdm;
};

TEST_F(ArtnetRdm, TableOfDevicesInTwoBlocksTheFirstSentTwice) {
  std::vector<FakeResponder> many(250);
  for (std::size_t i = 0; i < many.size(); ++i) many[i].device = 0x1000 + i;
  start(many);
  node->repeatFirstBlock = true;  // 200 + 200 UIDs heard before the last 50
  std::vector<rdm::Uid> uids;
  std::string why;
  ASSERT_TRUE(rdm->readTod(uids, why)) << why;
  EXPECT_EQ(why, "");
  const std::set<rdm::Uid> distinct(uids.begin(), uids.end());
  ASSERT_EQ(uids.size(), 250u);
  EXPECT_EQ(distinct.size(), 250u);
  EXPECT_TRUE(distinct.count({0x29A9, 0x1000}) && distinct.count({0x29A9, 0x1000 + 249}));
}

// A node that lists one UID three times has one fixture there: listed once, in its place.
TEST_F(ArtnetRdm, AUidListedTwiceIsOneFixture) {
  std::vector<FakeResponder> listed(4);
  listed[0].device = 7;
  listed[1].device = 8;
  listed[2].device = 7;
  listed[3].device = 7;
  start(listed);
  std::vector<rdm::Uid> uids;
  std::string why;
  ASSERT_TRUE(rdm->readTod(uids, why)) << why;
  EXPECT_EQ(uids, (std::vector<rdm::Uid>{{0x29A9, 7}, {0x29A9, 8}}));
}

TEST_F(ArtnetRdm, TodNakIsNoTableNotAnEmptyOne) {
  start({FakeResponder{}});
  node->todNak = true;
  std::vector<rdm::Uid> uids;
  std::string why;
  EXPECT_FALSE(rdm->readTod(uids, why));
  EXPECT_NE(why.find("TodNak"), std::string::npos) << why;
}

TEST_F(ArtnetRdm, NackIsShownInWordsAndTheOtherAnswersKept) {
  FakeResponder r;
  r.nack = {0x00C0};
  r.nackReason = 0x0005;  // high byte first: 0x0500 would be no reason in words
  r.version = 0x01020304;
  r.address = 42;
  start({r});
  const artnet::FixtureReading got = artnet::readFixture(*rdm, {0x29A9, 1}, true);
  ASSERT_TRUE(got.hasInfo);
  EXPECT_EQ(got.info.softwareVersion, 0x01020304u);
  EXPECT_EQ(got.info.startAddress, 42);
  EXPECT_EQ(got.model, "Test Fixture");
  EXPECT_EQ(got.manufacturer, "Tavik");
  EXPECT_EQ(got.softwareLabel, "");
  ASSERT_EQ(got.unanswered.size(), 1u);
  EXPECT_EQ(got.unanswered[0], "SOFTWARE_VERSION_LABEL: NACK, command class not supported");
}

TEST_F(ArtnetRdm, AckTimerIsWaitedForThenTheQueueAsked) {
  FakeResponder r;
  r.ackTimers = 1;
  r.version = 0x00000007;
  start({r});
  const artnet::GetReply reply = rdm->get({0x29A9, 1}, rdm::kPidDeviceInfo);
  ASSERT_EQ(reply.outcome, artnet::GetOutcome::ack) << reply.seen;
  rdm::DeviceInfo info;
  ASSERT_TRUE(rdm::parseDeviceInfo(reply.data, info));
  EXPECT_EQ(info.softwareVersion, 7u);
  const auto seen = node->seen();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].pid, rdm::kPidDeviceInfo);
  EXPECT_EQ(seen[1].pid, rdm::kPidQueuedMessage);
  EXPECT_NE(seen[0].transaction, seen[1].transaction);
  // ACK_TIMER said 100 ms.
  EXPECT_GE(seen[1].at - seen[0].at, std::chrono::milliseconds(100));
}

TEST_F(ArtnetRdm, AckTimerWithoutEndIsGivenUpWithinItsBound) {
  FakeResponder r;
  r.ackTimers = 1000;
  start({r});
  const auto begun = Steady::now();
  const artnet::GetReply reply = rdm->get({0x29A9, 1}, rdm::kPidDeviceInfo);
  EXPECT_EQ(reply.outcome, artnet::GetOutcome::failed);
  EXPECT_NE(reply.seen.find("ACK_TIMER"), std::string::npos) << reply.seen;
  EXPECT_LT(msSince(begun), 3000);
}

TEST_F(ArtnetRdm, AnAnswerToAnotherTransactionIsNotTaken) {
  FakeResponder r;
  r.staleBy = 1;
  start({r});
  const artnet::GetReply reply = rdm->get({0x29A9, 1}, rdm::kPidDeviceInfo);
  EXPECT_EQ(reply.outcome, artnet::GetOutcome::silent);
  EXPECT_EQ(node->seen().size(), 3u);  // asked again each time
  EXPECT_EQ(reply.seen,
            "no answer to 3 requests (heard an answer with transaction number 1 instead of 2)");
}

// What came instead of an answer stays in the reason, under the GET's name.
TEST_F(ArtnetRdm, AnAnswerWithAWrongChecksumIsNamedAsHeard) {
  FakeResponder r;
  r.badChecksum = true;
  start({r});
  const artnet::FixtureReading got = artnet::readFixture(*rdm, {0x29A9, 1}, true);
  EXPECT_FALSE(got.hasInfo);
  ASSERT_EQ(got.unanswered.size(), 1u);  // silent to DEVICE_INFO: not asked the rest
  EXPECT_EQ(got.unanswered[0],
            "DEVICE_INFO: no answer to 3 requests (heard an RDM message with a wrong checksum)");
}

TEST_F(ArtnetRdm, AnAnswerFromAnotherUidIsNotTaken) {
  FakeResponder r;
  r.version = 0x01020304;
  r.strayFrom = 2;  // 29A9:00000002 answers first, with other data
  start({r});
  const artnet::GetReply reply = rdm->get({0x29A9, 1}, rdm::kPidDeviceInfo);
  ASSERT_EQ(reply.outcome, artnet::GetOutcome::ack) << reply.seen;
  rdm::DeviceInfo info;
  ASSERT_TRUE(rdm::parseDeviceInfo(reply.data, info));
  EXPECT_EQ(info.softwareVersion, 0x01020304u);
}

TEST_F(ArtnetRdm, SilentNodeEndsEveryWaitWithinItsBound) {
  start({FakeResponder{}});
  node->silent = true;
  std::vector<rdm::Uid> uids;
  std::string why;
  auto begun = Steady::now();
  EXPECT_FALSE(rdm->readTod(uids, why));
  EXPECT_NE(why.find("no table of devices"), std::string::npos) << why;
  EXPECT_LT(msSince(begun), 600 + 400);

  begun = Steady::now();
  const artnet::GetReply reply = rdm->get({0x29A9, 1}, rdm::kPidDeviceInfo);
  EXPECT_EQ(reply.outcome, artnet::GetOutcome::silent);
  EXPECT_EQ(reply.seen, "no answer to 3 requests");
  EXPECT_GE(msSince(begun), 3 * 200 - 20);
  EXPECT_LT(msSince(begun), 3 * 200 + 400);
}

// A stop ends a wait within a slice, and every wait after it.
TEST_F(ArtnetRdm, AStopEndsTheWaitForASilentFixtureAtOnce) {
  timeouts.replyMs = 2000;
  start({FakeResponder{}});
  node->silent = true;
  std::atomic<bool> stop{false};
  artnet::RdmConversation stoppable(transport, realClock(), kPort, artnet::kDefaultController,
                                    timeouts, [&] { return stop.load(); });
  std::thread later([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    stop = true;
  });
  const auto begun = Steady::now();
  const artnet::FixtureReading got = artnet::readFixture(stoppable, {0x29A9, 1}, true);
  later.join();
  EXPECT_LT(msSince(begun), 300 + 250);
  EXPECT_TRUE(stoppable.stopped());
  EXPECT_EQ(got.unanswered, std::vector<std::string>{"DEVICE_INFO: stopped"});
}

TEST_F(ArtnetRdm, ATableLongerThanTheCapIsCutWithANote) {
  timeouts.maxUids = 100;
  std::vector<FakeResponder> many(250);
  for (std::size_t i = 0; i < many.size(); ++i) many[i].device = 0x1000 + i;
  start(many);
  std::vector<rdm::Uid> uids;
  std::string why;
  ASSERT_TRUE(rdm->readTod(uids, why)) << why;
  EXPECT_EQ(uids.size(), 100u);
  EXPECT_EQ(why, "the table of devices lists 250 UIDs; only the first 100 are asked (at most 100)");
}

// Requests lost before and after an ACK_TIMER count together: the fixture
// is silent after `tries` of them, and not asked the rest.
TEST_F(ArtnetRdm, AFixtureQuietBetweenAckTimersIsSilentAfterItsTries) {
  FakeResponder r;
  r.ackTimers = 1000;
  start({r});
  node->answerEvery = 3;  // 2 lost, an ACK_TIMER, 2 lost, ...
  const auto begun = Steady::now();
  const artnet::FixtureReading got = artnet::readFixture(*rdm, {0x29A9, 1}, true);
  EXPECT_LT(msSince(begun), 3 * 200 + 100 + 300);
  EXPECT_EQ(node->seen().size(), 4u);
  ASSERT_EQ(got.unanswered.size(), 1u);
  EXPECT_NE(got.unanswered[0].find("no answer"), std::string::npos) << got.unanswered[0];
}

}  // namespace
