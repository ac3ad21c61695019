// upload --read-back before and after an upload, against a node of the
// test's own with RDM responders: who is read back under which profile,
// and when an upload counts as taken.
#include "cli/read_back.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "cli/exit_codes.h"
#include "cli/interrupt.h"
#include "tests/net/fake_rdm_node.h"

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
    tuning.nodePort = node.port();
    tuning.replyPort = 0;
    tuning.timeouts = {400, 150, 2, 3, 2000};
    tuning.settleMsOverride = 1;
    tuning.afterBoundMs = 300;
    tuning.retryPauseMs = 50;
  }
  Options upload(const char* profile, bool force = false) {
    Options o;
    std::vector<const char*> args{
        "uploader-cli", "upload",    "fw.bin", "--adapter", "artnet:127.0.0.1:0:0:1",
        "--read-back",  "--address", "7",      "--profile", profile};
    if (force) args.push_back("--force");
    EXPECT_EQ(parseOptions(static_cast<int>(args.size()), args.data(), o).status, ParseStatus::run);
    return o;
  }
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
  const Options o = upload("v1.2");
  ReadBack rb;
  ASSERT_EQ(readBackBefore(o, rb, tuning), exitDone);
  ASSERT_EQ(rb.targets.size(), 2u);  // both of ours; not the other maker's
  EXPECT_EQ(rb.targets[0].before.softwareVersion, 0x00010000u);
  newVersion(1);
  newVersion(2);
  EXPECT_EQ(readBackAfter(o, rb, tuning), exitDone);
}

TEST_F(ReadBackFlow, AFixtureThatKeptItsVersionOrWentSilentFails) {
  const Options o = upload("v1.2");
  ReadBack rb;
  ASSERT_EQ(readBackBefore(o, rb, tuning), exitDone);
  newVersion(1);
  EXPECT_EQ(readBackAfter(o, rb, tuning), exitReadBack);  // 2 kept 1.0
  node.change([](std::vector<FakeResponder>& all) { all[1].silent = true; });
  newVersion(2);
  EXPECT_EQ(readBackAfter(o, rb, tuning), exitReadBack);  // 2 stopped answering
}

TEST_F(ReadBackFlow, EarlierProfilesReadOnlyTheFixtureAtTheAddress) {
  const Options o = upload("v1.1");
  ReadBack rb;
  ASSERT_EQ(readBackBefore(o, rb, tuning), exitDone);
  ASSERT_EQ(rb.targets.size(), 1u);
  EXPECT_EQ(rb.targets[0].uid, (rdm::Uid{0x29A9, 1}));
  newVersion(1);
  EXPECT_EQ(readBackAfter(o, rb, tuning), exitDone);
}

TEST_F(ReadBackFlow, NoFixtureBeforeIsRefusedUnlessForced) {
  node.change([](std::vector<FakeResponder>& all) { all.resize(0); });
  ReadBack rb;
  EXPECT_EQ(readBackBefore(upload("v1.2"), rb, tuning), exitReadBack);
  ReadBack forced;
  const Options o = upload("v1.2", true);
  EXPECT_EQ(readBackBefore(o, forced, tuning), exitDone);
  // Sent anyway, but nothing confirms it.
  EXPECT_EQ(readBackAfter(o, forced, tuning), exitReadBack);
}

TEST_F(ReadBackFlow, CtrlCEndsTheWaitForTheRestart) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const Options o = upload("v1.2");
  ReadBack rb;
  ASSERT_EQ(readBackBefore(o, rb, tuning), exitDone);
  tuning.settleMsOverride = 60000;
  const auto begun = std::chrono::steady_clock::now();
  EXPECT_EXIT(
      {
        requestInterrupt();
        std::exit(readBackAfter(o, rb, tuning));
      },
      ::testing::ExitedWithCode(exitInterrupted), "interrupted while reading the fixtures back");
  EXPECT_LT(std::chrono::steady_clock::now() - begun, std::chrono::seconds(5));
}

TEST_F(ReadBackFlow, AdaptersWithoutRdmAreRefusedAsUsage) {
  for (const char* adapter : {"sacn:1", "sim", "d2xx"}) {
    Options o = upload("v1.2");
    o.adapterName = adapter;
    o.adapterNames = {adapter};
    ReadBack rb;
    EXPECT_EQ(readBackBefore(o, rb, tuning), exitUsage) << adapter;
  }
}

}  // namespace
