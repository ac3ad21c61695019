// The packets to one node leave at least the node gap apart, whatever the
// lines of the session: Art-Net universes of one node and of two, sACN to
// one host, as the tests' own nodes at 127.0.0.N time-stamp them on
// arrival. Each run uploads a two-frame image (about 2 s).
#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "drivers/artnet.h"
#include "drivers/sacn.h"
#include "tests/net/timing_node.h"
#include "tests/support/session_plan.h"
#include "tests/support/temp_folder.h"

namespace {

constexpr const char* kCid = "6ba7b810-9dad-41d1-80b4-00c04fd430c8";

class CollectedLog final : public SessionObserver {
 public:
  void logLine(std::size_t, const std::string& text) override {
    std::lock_guard<std::mutex> lock(mutex_);
    text_ += text;
  }
  std::string text() {
    std::lock_guard<std::mutex> lock(mutex_);
    return text_;
  }

 private:
  std::mutex mutex_;
  std::string text_;
};

class NodeGap : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ofstream f(folder.path() / "image.bin", std::ios::binary);
    for (int i = 0; i < 128; ++i) f.put(static_cast<char>(i * 7 + 3));  // two frames
  }
  void addArtnet(const testnet::TimingNodes& nodes, int node, int universe) {
    artnet::Settings settings;
    settings.nodePort = nodes.port();
    settings.replyPort = 0;
    const std::string a = "127.0.0." + std::to_string(node) + ":" + std::to_string(universe);
    std::string error;
    lines.push_back({{"artnet:" + a, "", "", "", false}, artnet::makeWith(a, settings, error)});
    ASSERT_NE(lines.back().adapter, nullptr) << error;
  }
  void addSacn(const testnet::TimingNodes& nodes, int node, int universe) {
    sacn::Settings settings;
    settings.port = nodes.port();
    settings.cid = kCid;
    const std::string a = std::to_string(universe) + "@127.0.0." + std::to_string(node);
    std::string error;
    lines.push_back({{"sacn:" + a, "", "", "", false}, sacn::makeWith(a, settings, error)});
    ASSERT_NE(lines.back().adapter, nullptr) << error;
  }
  std::vector<UploadReport> upload(std::int64_t gap) {
    UploadPlan plan = planFor((folder.path() / "image.bin").string());
    plan.nodeGapMicros = gap;
    return UploadSession(plan, lines, log).run();
  }

  TempFolder folder{"uploader-node-gap"};
  std::vector<SessionLine> lines;
  CollectedLog log;
};

// Sends of one line with a two-frame image under v1.2: ten resets, then
// ten sends and thirty more for each data frame.
constexpr std::size_t kSends = 10 + 2 * 40;

// Every universe's packets at least `pause` apart: the spacing only ever
// makes a pause longer.
void expectPausesKept(const std::vector<testnet::Arrival>& arrivals, std::int64_t pause) {
  std::map<std::pair<int, int>, std::vector<std::int64_t>> byLine;
  for (const testnet::Arrival& a : arrivals) byLine[{a.node, a.universe}].push_back(a.micros);
  for (const auto& [line, times] : byLine)
    for (std::size_t i = 1; i < times.size(); ++i)
      ASSERT_GE(times[i] - times[i - 1], pause) << line.first << "/" << line.second << " " << i;
}

TEST_F(NodeGap, EightUniversesOfOneNodeArriveAtLeastAHundredMicrosecondsApart) {
  testnet::TimingNodes nodes(2, 1);
  ASSERT_TRUE(nodes.good());
  for (int u = 1; u <= 8; ++u) addArtnet(nodes, 2, u);
  ASSERT_TRUE(allDone(upload(100)));
  ASSERT_TRUE(nodes.waitFor(8 * kSends, 3000));
  const std::vector<testnet::Arrival> got = nodes.arrivals();
  ASSERT_EQ(got.size(), 8 * kSends);
  EXPECT_GE(testnet::shortestGapAtANode(got), 100);
  expectPausesKept(got, 10'000);
}

TEST_F(NodeGap, WithTheGapOffTheUniversesOfOneNodeGoOutBackToBack) {
  testnet::TimingNodes nodes(2, 1);
  ASSERT_TRUE(nodes.good());
  for (int u = 1; u <= 8; ++u) addArtnet(nodes, 2, u);
  ASSERT_TRUE(allDone(upload(0)));
  ASSERT_TRUE(nodes.waitFor(8 * kSends, 3000));
  EXPECT_LT(testnet::shortestGapAtANode(nodes.arrivals()), 100);
}

TEST_F(NodeGap, TwoArtnetNodesAndAnSacnHostAreEachSpacedOnTheirOwn) {
  testnet::TimingNodes nodes(2, 3);
  ASSERT_TRUE(nodes.good());
  for (int u = 1; u <= 4; ++u) {
    addArtnet(nodes, 2, u);
    addArtnet(nodes, 3, u);
    addSacn(nodes, 4, u);
  }
  ASSERT_TRUE(allDone(upload(300)));
  ASSERT_TRUE(nodes.waitFor(12 * kSends + 12, 3000));
  // The three packets an sACN source sends as it stops go out as it closes,
  // not paced: repeats of the last frame, which a node may drop.
  std::vector<testnet::Arrival> got;
  for (const testnet::Arrival& a : nodes.arrivals())
    if (!a.terminated) got.push_back(a);
  ASSERT_EQ(got.size(), 12 * kSends);
  EXPECT_GE(testnet::shortestGapAtANode(got), 300);
  // One wake-up serves a line of every node: packets to different nodes come close together.
  std::vector<std::int64_t> all;
  for (const testnet::Arrival& a : got) all.push_back(a.micros);
  std::sort(all.begin(), all.end());
  std::size_t close = 0;
  for (std::size_t i = 1; i < all.size(); ++i) close += all[i] - all[i - 1] < 300 ? 1 : 0;
  EXPECT_GT(close, all.size() / 2);
}

TEST_F(NodeGap, ANodeWhoseLinesDoNotFitInAPauseSaysHowMuchLongerTheyTake) {
  testnet::TimingNodes nodes(2, 1);
  ASSERT_TRUE(nodes.good());
  for (int u = 1; u <= 4; ++u) addArtnet(nodes, 2, u);
  // 4 x 3 ms: 12 ms a round, more than the 10 ms reset pace and the 11 ms data pace.
  ASSERT_TRUE(allDone(upload(3000)));
  ASSERT_TRUE(nodes.waitFor(4 * kSends, 3000));
  EXPECT_GE(testnet::shortestGapAtANode(nodes.arrivals()), 3000);
  const std::string text = log.text();
  EXPECT_NE(text.find("Node 127.0.0.2 takes 4 lines with packets 3000 microseconds apart: a "
                      "round of them takes 12.0 ms, more than the 10 ms pause; the data phase "
                      "takes about 9 % longer"),
            std::string::npos)
      << text;
}

TEST(NodeAddress, SacnNamesItsHostButNotAMulticastGroup) {
  testnet::TimingNodes nodes(5, 1);
  ASSERT_TRUE(nodes.good());
  std::string error;
  auto unicast = sacn::makeWith("7@127.0.0.5", {nodes.port(), kCid}, error);
  auto multicast = sacn::makeWith("7", {nodes.port(), kCid}, error);
  ASSERT_TRUE(unicast && multicast) << error;
  EXPECT_FALSE(unicast->nodeAddress());
  FT_HANDLE h = nullptr;
  ASSERT_TRUE(unicast->load());
  ASSERT_EQ(unicast->FT_OpenEx(const_cast<char*>(""), FT_OPEN_BY_SERIAL_NUMBER, &h), FT_OK);
  EXPECT_EQ(unicast->nodeAddress(), std::optional<std::uint32_t>(0x7F000005));
  unicast->FT_Close(h);
  EXPECT_FALSE(unicast->nodeAddress());
  FT_HANDLE m = nullptr;
  ASSERT_TRUE(multicast->load());
  if (multicast->FT_OpenEx(const_cast<char*>(""), FT_OPEN_BY_SERIAL_NUMBER, &m) == FT_OK) {
    EXPECT_FALSE(multicast->nodeAddress());
    multicast->FT_Close(m);
  }
}

}  // namespace
