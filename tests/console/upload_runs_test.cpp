// The console's uploads with read_back=1, against an Art-Net node of the
// tests' own on 127.0.0.1:6454 whose fixtures come back on a new version
// once an upload to them has ended: read before, sent, read and confirmed.
#include "console/upload_runs.h"

#include <gtest/gtest.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <thread>

#include "tests/net/fake_rdm_node.h"
#include "tests/support/temp_folder.h"

namespace {

TEST(ConsoleUploads, ReadBackReadsEveryLineBeforeAndConfirmsAfter) {
  TempFolder home("uploader-console-runs");
  setenv("XDG_DATA_HOME", home.string().c_str(), 1);  // the service records stay here
  testnet::FakeResponder spot;
  spot.address = 1;
  testnet::FakeRdmNode node(0x0001, {spot}, 6454);
  if (!node.good()) GTEST_SKIP() << "127.0.0.1:6454 is taken";
  node.versionAfterUpload = 0x01010000;
  EventLog events;
  UploadRuns runs(events);
  UploadRequest request;
  request.fileName = "fw.bin";
  request.image.assign(300, 0x5A);
  request.imageGiven = true;
  request.adapters = {"artnet:127.0.0.1:0:0:1"};
  request.fast = true;
  request.readBack = true;
  const UploadAnswer answer = runs.start(request);
  ASSERT_EQ(answer.status, 202) << answer.error;
  nlohmann::json report;
  for (int i = 0; i < 600; ++i) {  // the settle is 10 s
    report = nlohmann::json::parse(runs.report(answer.id));
    if (!report["exitStatus"].is_null()) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_EQ(report["exitStatus"], 0) << report.dump(2);
  ASSERT_TRUE(report["readBack"].is_array()) << report.dump(2);
  const auto& fixture = report["readBack"][0]["fixtures"][0];
  EXPECT_EQ(fixture["uid"], "29A9:00000001");
  EXPECT_TRUE(fixture["confirmed"].get<bool>()) << report.dump(2);
  EXPECT_GT(node.nzsSeen.load(), 0u);
}

}  // namespace
