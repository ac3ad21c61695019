// Every way an upload can fail: what the log says, what the operator sees,
// the result, and that the controls always come back and the adapter is
// always closed once it was opened.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/program.h"
#include "engine/state.h"
#include "profiles/profiles.h"
#include "tests/support/upload_harness.h"

namespace {

using sim::Call;

// The operator saw exactly one error box with `text`, then got the controls back.
void expectErrorThenControls(const std::vector<OperatorEvent>& events, const std::string& text) {
  ASSERT_GE(events.size(), 2u);
  EXPECT_EQ(events[events.size() - 2].kind, OperatorEvent::error);
  EXPECT_EQ(events[events.size() - 2].text, text);
  EXPECT_EQ(events.back().kind, OperatorEvent::enable);
  int boxes = 0;
  for (const auto& e : events)
    boxes += e.kind == OperatorEvent::error || e.kind == OperatorEvent::info;
  EXPECT_EQ(boxes, 1);
}

bool adapterClosedIfOpened(const std::vector<sim::Record>& record) {
  int open = 0;
  for (const auto& r : record) {
    if (r.call == Call::open && r.status == FT_OK) ++open;
    if (r.call == Call::close && r.status == FT_OK) --open;
  }
  return open == 0;
}

TEST_F(UploadTest, NoFileChosen) {
  EXPECT_EQ(run(profileV1_2), uploadRefused);
  expectErrorThenControls(op.events, "FILE NOT SELECTED!");
  EXPECT_TRUE(record().empty());
  EXPECT_EQ(log, "");
}

TEST_F(UploadTest, UnreadableFiles) {
  const std::string missing = dir + "/does-not-exist.bin";
  std::snprintf(szFile, sizeof szFile, "%s", missing.c_str());
  EXPECT_EQ(run(profileV1_2), uploadRefused);
  expectErrorThenControls(op.events, "Cannot read file \"" + missing + "\"");

  // A directory opens on some systems but cannot be read: it must not hang
  // or upload nothing as if it were an empty image.
  op.events.clear();
  std::snprintf(szFile, sizeof szFile, "%s", dir.c_str());
  EXPECT_EQ(run(profileV1_2), uploadRefused);
  expectErrorThenControls(op.events, "Cannot read file \"" + dir + "\"");
  EXPECT_TRUE(record().empty());
}

TEST_F(UploadTest, OversizedImageIsRefusedBeforeTheAdapterIsTouched) {
  for (const ReleaseProfile* p : {&profileV1_2, &profileEarly}) {
    SCOPED_TRACE(p->id);
    op.events.clear();
    const std::string path = chooseImage(patternImage(65536));
    EXPECT_EQ(run(*p), uploadRefused);
    expectErrorThenControls(op.events,
                            "FILE TOO LARGE!\n\n" + path + "\n65536 bytes, at most 65535");
    EXPECT_TRUE(record().empty());
  }
  // Much larger than the early profile's buffer: reading stops at the limit.
  op.events.clear();
  const std::string path = chooseImage(patternImage(300000));
  EXPECT_EQ(run(profileEarly), uploadRefused);
  expectErrorThenControls(op.events,
                          "FILE TOO LARGE!\n\n" + path + "\n300000 bytes, at most 65535");

  // Past 2 GiB the size needs 64 bits on every platform (a sparse file).
  op.events.clear();
  const std::string huge = (std::filesystem::path(dir) / "huge.bin").string();
  std::filesystem::resize_file(chooseImage({1}, "huge.bin"), 3'000'000'000);
  EXPECT_EQ(run(profileV1_2), uploadRefused);
  expectErrorThenControls(op.events,
                          "FILE TOO LARGE!\n\n" + huge + "\n3000000000 bytes, at most 65535");
}

TEST_F(UploadTest, ReadingStopsAtTheLimitOfAnEndlessStream) {
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  std::vector<std::uint8_t> big(5000, 0x11);
  std::fwrite(big.data(), 1, big.size(), f);
  std::rewind(f);
  std::vector<std::uint8_t> dest(101, 0xEE);
  EXPECT_EQ(read_file(f, dest.data(), 100), 101);
  EXPECT_EQ(dest[100], 0xEE);  // nothing written past the limit
  std::rewind(f);
  std::vector<std::uint8_t> all(5000);
  EXPECT_EQ(read_file(f, all.data(), 5000), 5000);
  std::fclose(f);
}

TEST_F(UploadTest, ListingFailure) {
  chooseImage(patternImage(100));
  simulated().settings().failList = true;
  EXPECT_EQ(run(profileV1_2), uploadLinkFailed);
  expectErrorThenControls(op.events, "CANNOT CONNECT TO PROGRAMMER");
  const auto lines = logLines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[1], "Error: FT_ListDevices(18)");
  EXPECT_EQ(record().size(), 1u);  // nothing after the failed listing
  // The progress bar was reset before the listing and stays at 0.
  EXPECT_EQ(op.events[0].kind, OperatorEvent::range);
  EXPECT_EQ(op.events[1].value, 0);
}

TEST_F(UploadTest, NoAdapterListedStillTriesToOpenTheEmptySerial) {
  const std::string path = chooseImage(patternImage(100));
  simulated().settings().serials.clear();
  EXPECT_EQ(run(profileV1_2), uploadLinkFailed);
  expectErrorThenControls(op.events, "CANNOT CONNECT TO PROGRAMMER");
  ASSERT_EQ(record().size(), 2u);
  EXPECT_EQ(record()[1].call, Call::open);
  EXPECT_EQ(record()[1].text, "");
  const auto lines = logLines();
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[1], "Error FT_OpenEx(2), device 0");
  // The simulated adapter's own advice, not FTD2XX's.
  EXPECT_EQ(lines.back(), "--sim-none: no simulated adapter is attached.");
  EXPECT_EQ(log.find("rmmod"), std::string::npos) << log;
  EXPECT_EQ(std::string(szFile), path);  // the choice stays for the next try
}

TEST_F(UploadTest, OpeningFailure) {
  chooseImage(patternImage(100));
  simulated().settings().failOpen = true;
  EXPECT_EQ(run(profileV1_1), uploadLinkFailed);
  expectErrorThenControls(op.events, "CANNOT CONNECT TO PROGRAMMER");
  EXPECT_NE(log.find("Error FT_OpenEx(3), device 0\n"), std::string::npos);
}

TEST_F(UploadTest, MissingDriverLibraryIsAnOpeningFailure) {
  simulated().settings().failLoad = true;
  chooseImage(patternImage(100));
  EXPECT_EQ(run(profileV1_2), uploadLinkFailed);
  expectErrorThenControls(op.events, "CANNOT CONNECT TO PROGRAMMER");
  EXPECT_EQ(logLines().at(1), "Error: cannot load the simulated adapter");
  EXPECT_TRUE(record().empty());
}

TEST_F(UploadTest, EveryWriteFailingStopsAtTheResetFrame) {
  const std::string path = chooseImage(patternImage(100));
  address = 9;
  simulated().settings().failWritesFrom = 1;
  EXPECT_EQ(run(profileV1_2), uploadLinkFailed);
  expectErrorThenControls(op.events,
                          "UPLOAD FAILED!\n\n" + path + "\nAddress=9\nStopped at byte 0 of 100");
  EXPECT_EQ(simulated().writeCount(), 10u);
  EXPECT_TRUE(adapterClosedIfOpened(record()));
  const auto lines = logLines();
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[lines.size() - 4], "Send failed at frame 1");
  EXPECT_EQ(lines[lines.size() - 3], "  sim: write refused (simulated failure)");
  EXPECT_EQ(lines[lines.size() - 2], "Send errors: 10");
  EXPECT_EQ(lines.back(), "Closed device SIM00001");
}

TEST_F(UploadTest, UnpluggedMidUploadStopsAtTheFirstFrameWithNoGoodSend) {
  const std::string path = chooseImage(patternImage(300));
  // Writes 1-10 reset, 11-50 first data frame, 51-90 second: failing from
  // write 60 leaves the second frame 9 good sends, the third none.
  simulated().settings().failWritesFrom = 60;
  EXPECT_EQ(run(profileV1_2), uploadLinkFailed);
  expectErrorThenControls(op.events,
                          "UPLOAD FAILED!\n\n" + path + "\nAddress=1\nStopped at byte 128 of 300");
  EXPECT_EQ(simulated().writeCount(), 100u);
  EXPECT_TRUE(adapterClosedIfOpened(record()));
  EXPECT_NE(
      log.find("Send failed at frame 4\n  sim: write refused (simulated failure)\nSend errors: 41\n"
               "Closed device SIM00001\n"),
      std::string::npos);
  EXPECT_LE(fw_ptr, fw_size);
  // Progress never claimed the failed frame.
  EXPECT_EQ(op.events[op.events.size() - 3].value, 128);
}

TEST_F(UploadTest, SomeFailedSendsAreCountedButTheUploadCompletes) {
  const std::string path = chooseImage(patternImage(64));
  simulated().settings().failWritesFrom = 45;  // the last 6 of the frame's 40 sends fail
  EXPECT_EQ(run(profileV1_2), uploadDone);
  EXPECT_EQ(op.events[op.events.size() - 2].text, "\nDONE\n\n" + path + "\nAddress=1");
  EXPECT_NE(log.find("Send errors: 6\nClosed device SIM00001\n"), std::string::npos);
}

TEST_F(UploadTest, AfterAFailureTheNextUploadStartsClean) {
  chooseImage(patternImage(100));
  simulated().settings().failOpen = true;
  EXPECT_EQ(run(profileV1_2), uploadLinkFailed);
  simulated().settings().failOpen = false;
  op.events.clear();
  EXPECT_EQ(run(profileV1_2), uploadDone);
  EXPECT_EQ(op.events.back().kind, OperatorEvent::enable);
  EXPECT_TRUE(adapterClosedIfOpened(record()));
}

// Asked to stop mid-frame, the upload sends nothing more, closes the
// adapter, and says where it stopped: after the frames that went out whole.
TEST_F(UploadTest, AStopRequestEndsTheUploadAfterTheSendInProgress) {
  const std::string path = chooseImage(patternImage(200));
  std::size_t sent = 0;
  simulated().setLineSink([&](const std::uint8_t*, std::size_t, std::int64_t) {
    if (++sent == 95) mainLine.stopRequested = true;  // 5 sends into the third data frame
  });
  EXPECT_EQ(run(profileV1_2), uploadStopped);
  mainLine.stopRequested = false;
  EXPECT_EQ(writes().size(), 95u);
  EXPECT_EQ(record().back().call, Call::close);
  expectErrorThenControls(op.events,
                          "UPLOAD STOPPED!\n\n" + path + "\nAddress=1\nStopped at byte 128 of 200");
  EXPECT_NE(log.find("Stopped at frame 4, byte 128 of 200\nClosed device SIM00001\n"),
            std::string::npos)
      << log;
  EXPECT_EQ(mainLine.deliveredBytes, 128);
}

}  // namespace
