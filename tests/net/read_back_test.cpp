// upload --read-back before and after an upload, against a node of the
// test's own with RDM responders: who is read back under which profile,
// and when an upload counts as taken.
#include "session/read_back.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "profiles/profiles.h"
#include "session/read_back_lines.h"
#include "session/stop_requests.h"
#include "tests/net/fake_rdm_node.h"
#include "tests/net/read_back_tuning.h"
#include "tests/support/temp_folder.h"

namespace {

using testnet::FakeRdmNode;
using testnet::FakeResponder;

FakeResponder fixture(std::uint32_t device, std::uint16_t address,
                      std::uint16_t manufacturer = 0x29A9) {
  FakeResponder r;
  r.manufacturer = manufacturer;
  r.device = device;
  r.address = address;
  r.version = 0x00010000;
  r.label = "1.0";
  return r;
}

class ReadBackFlow : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(node.good());
    tuning = quickReadBackTuning(node.port());
  }
  ReadBackRequest upload(const char* profile, bool force = false) {
    ReadBackRequest o;
    o.adapter = "artnet:127.0.0.1:0:0:1";
    o.addresses = {7};
    o.profile = findProfile(profile);
    o.force = force;
    return o;
  }
  // What the read-back told, line by line.
  struct Told final : ReadBackObserver {
    void reading(const std::string& t) override { text += t + "\n"; }
    void notice(const std::string& t) override { text += t + "\n"; }
    void problem(const std::string& t) override { text += "error: " + t + "\n"; }
    std::string text;
  };
  ReadBackStatus before(const ReadBackRequest& o, ReadBack& rb) {
    return readBackBefore(o, rb, told, tuning);
  }
  ReadBackStatus after(const ReadBackRequest& o, ReadBack& rb) {
    return readBackAfter(o, rb, told, tuning);
  }
  Told told;
  void newVersion(std::uint32_t device) {
    node.change([device](std::vector<FakeResponder>& all) {
      for (FakeResponder& r : all)
        if (r.device == device) r.version = 0x00010100;
    });
  }

  FakeRdmNode node{0x0001, {fixture(1, 7), fixture(2, 20), fixture(3, 7, 0x7A70)}};
  ReadBackTuning tuning;
};

TEST_F(ReadBackFlow, EveryFixtureOfOursIsReadBeforeAndAfter) {
  const ReadBackRequest o = upload("v1.2");
  ReadBack rb;
  ASSERT_EQ(before(o, rb), ReadBackStatus::go);
  ASSERT_EQ(rb.targets.size(), 2u);  // both of ours; not the other maker's
  EXPECT_EQ(rb.targets[0].before.softwareVersion, 0x00010000u);
  newVersion(1);
  newVersion(2);
  EXPECT_EQ(after(o, rb), ReadBackStatus::go);
}

TEST_F(ReadBackFlow, AFixtureThatKeptItsVersionOrWentSilentFails) {
  const ReadBackRequest o = upload("v1.2");
  ReadBack rb;
  ASSERT_EQ(before(o, rb), ReadBackStatus::go);
  newVersion(1);
  EXPECT_EQ(after(o, rb), ReadBackStatus::notConfirmed);  // 2 kept 1.0
  node.change([](std::vector<FakeResponder>& all) { all[1].silent = true; });
  newVersion(2);
  EXPECT_EQ(after(o, rb), ReadBackStatus::notConfirmed);  // 2 stopped answering
}

// The bound after the upload holds in the middle of a round: ten targets
// that went quiet would take 3 s a round.
TEST_F(ReadBackFlow, QuietTargetsAreAskedOnlyWithinTheBound) {
  const ReadBackRequest o = upload("v1.2");
  ReadBack rb;
  ASSERT_EQ(before(o, rb), ReadBackStatus::go);
  node.change([](std::vector<FakeResponder>& all) { all.clear(); });
  rb.targets.resize(10, rb.targets.front());
  const auto begun = std::chrono::steady_clock::now();
  EXPECT_EQ(after(o, rb), ReadBackStatus::notConfirmed);
  EXPECT_LT(std::chrono::steady_clock::now() - begun, std::chrono::milliseconds(300 + 250));
  EXPECT_EQ(rb.targets.back().versionAfter, "not asked within 0 s");
}

TEST_F(ReadBackFlow, EarlierProfilesReadOnlyTheFixtureAtTheAddress) {
  const ReadBackRequest o = upload("v1.1");
  ReadBack rb;
  ASSERT_EQ(before(o, rb), ReadBackStatus::go);
  ASSERT_EQ(rb.targets.size(), 1u);
  EXPECT_EQ(rb.targets[0].uid, (rdm::Uid{0x29A9, 1}));
  newVersion(1);
  EXPECT_EQ(after(o, rb), ReadBackStatus::go);
}

TEST_F(ReadBackFlow, NoFixtureBeforeIsRefusedUnlessForced) {
  node.change([](std::vector<FakeResponder>& all) { all.resize(0); });
  ReadBack rb;
  EXPECT_EQ(before(upload("v1.2"), rb), ReadBackStatus::notConfirmed);
  ReadBack forced;
  const ReadBackRequest o = upload("v1.2", true);
  EXPECT_EQ(before(o, forced), ReadBackStatus::go);
  // Sent anyway, but nothing confirms it.
  EXPECT_EQ(after(o, forced), ReadBackStatus::notConfirmed);
}

TEST_F(ReadBackFlow, CtrlCEndsTheWaitForTheRestart) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const ReadBackRequest o = upload("v1.2");
  ReadBack rb;
  ASSERT_EQ(before(o, rb), ReadBackStatus::go);
  tuning.settleMsOverride = 60000;
  const auto begun = std::chrono::steady_clock::now();
  EXPECT_EXIT(
      {
        requestStop();
        const bool stopped = after(o, rb) == ReadBackStatus::stopped;
        std::fputs(told.text.c_str(), stderr);
        std::exit(stopped ? 130 : 1);
      },
      ::testing::ExitedWithCode(130), "interrupted while reading the fixtures back");
  EXPECT_LT(std::chrono::steady_clock::now() - begun, std::chrono::seconds(5));
}

TEST_F(ReadBackFlow, AdaptersWithoutRdmAreRefusedAsUsage) {
  for (const char* adapter : {"sacn:1", "sim", "d2xx"}) {
    ReadBackRequest o = upload("v1.2");
    o.adapter = adapter;
    ReadBack rb;
    EXPECT_EQ(before(o, rb), ReadBackStatus::noRdm) << adapter;
  }
}

}  // namespace

namespace {

struct Quiet final : ReadBackObserver {
  void reading(const std::string&) override {}
  void notice(const std::string&) override {}
  void problem(const std::string&) override {}
};

// Two nodes at once (127.0.0.1 and 127.0.0.3, the same UDP port): each
// line's fixtures are told apart, and each line is judged on its own.
TEST(ReadBackLines, EveryLineIsReadAtOnceAndJudgedOnItsOwn) {
  FakeResponder spot = fixture(1, 7), wash = fixture(2, 9);
  wash.modelId = 0x0020;
  FakeRdmNode first(0x0001, {spot});
  ASSERT_TRUE(first.good());
  FakeRdmNode second(0x0001, {wash}, first.port(), 0x7F000003);
  if (!second.good()) GTEST_SKIP() << "127.0.0.3:" << first.port() << " is taken";
  std::vector<LineReadBack> lines(2);
  lines[0].request.adapter = "artnet:127.0.0.1:0:0:1";
  lines[1].request.adapter = "artnet:127.0.0.3:0:0:1";
  for (LineReadBack& l : lines) {
    l.request.profile = findProfile("v1.2");
    l.request.models = true;
  }
  Quiet quiet[2];
  const LineObservers observers = [&](std::size_t i) -> ReadBackObserver& { return quiet[i]; };
  const ReadBackTuning tuning = quickReadBackTuning(first.port());
  readBackLinesBefore(lines, observers, tuning);
  ASSERT_EQ(lines[0].status, ReadBackStatus::go);
  ASSERT_EQ(lines[1].status, ReadBackStatus::go);
  ASSERT_EQ(lines[0].readBack.targets.size(), 1u);
  EXPECT_EQ(lines[1].readBack.targets.at(0).uid.device, 2u);

  // --model 0x0001: the first line's fixture matches, the second's is named.
  EXPECT_TRUE(modelMismatches(lines[0].readBack, {0x0001}).empty());
  const std::vector<std::string> other = modelMismatches(lines[1].readBack, {0x0001});
  ASSERT_EQ(other.size(), 1u);
  EXPECT_EQ(other[0], "29A9:00000002 at address 9: model 0x0020 \"Test Fixture\"");

  first.change([](std::vector<FakeResponder>& all) { all[0].version = 0x00010100; });
  readBackLinesAfter(lines, observers, tuning);
  EXPECT_EQ(lines[0].status, ReadBackStatus::go);
  EXPECT_EQ(lines[1].status, ReadBackStatus::notConfirmed);
  EXPECT_EQ(lines[1].readBack.targets.at(0).why, "kept its version");
}

// The readings before and after an upload go into the service records: every
// fixture of ours that answered, each time it answered.
TEST_F(ReadBackFlow, EveryReadingBeforeAndAfterIsRecorded) {
  TempFolder folder("uploader-read-back-records");
  const std::string path = (folder / "records.sqlite").string();
  records::OpenProblem problem;
  std::string why;
  auto store = records::Store::open(path, records::Access::write, problem, why);
  ASSERT_NE(store, nullptr) << why;
  ServiceRecords kept(*store);
  ReadBackRequest o = upload("v1.2");
  o.records = &kept;
  ReadBack rb;
  ASSERT_EQ(before(o, rb), ReadBackStatus::go);
  newVersion(1);
  after(o, rb);  // fixture 2 keeps its version
  EXPECT_EQ(kept.failure(), "");
  std::vector<records::InventoryRow> rows;
  ASSERT_TRUE(store->inventory(rows, why)) << why;
  ASSERT_EQ(rows.size(), 2u);  // not the other maker's
  EXPECT_EQ(rows[0].last.uid, "29A9:00000001");
  EXPECT_EQ(rows[0].last.softwareVersion, 0x00010100);
  EXPECT_EQ(rows[0].last.occasion, "after upload");
  EXPECT_EQ(rows[0].last.line, "artnet:127.0.0.1:0:0:1");
  EXPECT_EQ(rows[1].last.softwareVersion, 0x00010000);
  EXPECT_TRUE(rows[1].behindOfModel);
}

}  // namespace
