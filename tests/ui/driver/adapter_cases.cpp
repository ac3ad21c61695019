// The adapter missing, refusing or failing, seen from the window.
#include <gtest/gtest.h>

#include "tests/ui/driver/fixture.h"
#include "tests/ui/driver/line_record.h"
#include "tests/ui/driver/operate.h"

namespace {

class Adapter : public WindowTest {
 protected:
  // Starts `program`, chooses a fresh image of `size` bytes, picks the
  // address and ticks fast mode.
  App& prepare(const Launch& launch, std::size_t size, int address = 7) {
    image = patternImage(size);
    path = writeImage("image.bin", image);
    app = std::make_unique<App>(launch, workDir);
    expectFreshWindow(*app);
    chooseFileInDialog(*app, path);
    pickAddress(*app, address);
    clickFast(*app);
    return *app;
  }

  std::vector<std::uint8_t> image;
  std::string path;
  std::unique_ptr<App> app;
};

const std::vector<std::string> kOpenFailureLog = {
    "Use lsmod to check if ftdi_sio (and usbserial) are present.",
    "If so, unload them using rmmod, as they conflict with ftd2xx."};

TEST_F(Adapter, NoneAttached) {
  App& a = prepare({&kV1_2, {{"ADAPTERS", "none"}}, true}, 100);
  const BoxSeen box = programAndAcknowledge(a);
  EXPECT_EQ(box.text, "CANNOT CONNECT TO PROGRAMMER");
  EXPECT_TRUE(box.icon);
  // The progress range was set before the adapter was looked for.
  const ProgressBar bar = progressOf(a);
  EXPECT_EQ(bar.high, 100);
  EXPECT_EQ(bar.position, 0);
  EXPECT_EQ(a.closeAndWait(), 1);

  // The listing finds nothing; the empty first slot is still tried.
  const auto calls = readLineRecord(a.lineLogPath());
  ASSERT_EQ(callNames(calls), (std::vector<std::string>{"FT_ListDevices", "FT_OpenEx"}));
  EXPECT_EQ(calls[0].fields.at("count"), "0");
  EXPECT_EQ(calls[1].fields.at("serial"), "");
  EXPECT_EQ(calls[1].result, 2);
  std::vector<std::string> log = {"Readed file \"" + path + "\" 100B",
                                  "Error FT_OpenEx(2), device 0"};
  log.insert(log.end(), kOpenFailureLog.begin(), kOpenFailureLog.end());
  EXPECT_EQ(linesOf(a.stdoutText()), log);
}

TEST_F(Adapter, ListingFails) {
  App& a = prepare({&kV1_1, {{"FAIL_LIST", "1"}}, true}, 100);
  const BoxSeen box = programAndAcknowledge(a);
  EXPECT_EQ(box.text, "CANNOT CONNECT TO PROGRAMMER");
  EXPECT_TRUE(box.icon);
  EXPECT_EQ(a.closeAndWait(), 1);
  EXPECT_EQ(callNames(readLineRecord(a.lineLogPath())), std::vector<std::string>{"FT_ListDevices"});
  EXPECT_EQ(linesOf(a.stdoutText()), (std::vector<std::string>{"Readed file \"" + path + "\" 100B",
                                                               "Error: FT_ListDevices(4)"}));
}

TEST_F(Adapter, OpeningFailsOnceThenProgramAgainUploads) {
  App& a = prepare({&kEarly, {{"FAIL_OPEN", "1"}}, true}, 10);
  BoxSeen box = programAndAcknowledge(a);
  EXPECT_EQ(box.text, "CANNOT CONNECT TO PROGRAMMER");
  EXPECT_TRUE(box.icon);

  // Nothing to choose again: the file, address and pace are still set.
  box = programAndAcknowledge(a);
  EXPECT_EQ(box.text, "\nDONE\n\n" + path + "\nAddress=7");
  EXPECT_FALSE(box.icon);
  EXPECT_EQ(a.closeAndWait(), 1);

  const auto calls = readLineRecord(a.lineLogPath());
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls[0].name, "FT_ListDevices");
  EXPECT_EQ(calls[1].name, "FT_OpenEx");
  EXPECT_EQ(calls[1].result, 3);
  expectUpload({calls.begin() + 2, calls.end()}, {"FTDBL001", 7, image, 0, 11});
}

TEST_F(Adapter, LibraryMissing) {
  App& a = prepare({&kV1_2, {}, false}, 100);
  const BoxSeen box = programAndAcknowledge(a);
  EXPECT_EQ(box.text, "CANNOT CONNECT TO PROGRAMMER");
  EXPECT_TRUE(box.icon);
  EXPECT_EQ(a.closeAndWait(), 1);
  EXPECT_TRUE(readLineRecord(a.lineLogPath()).empty());
  const auto log = linesOf(a.stdoutText());
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[1], "Error: cannot load FTD2XX.dll");
}

TEST_F(Adapter, EveryWriteFails) {
  App& a = prepare({&kV1_2, {{"FAIL_WRITES_FROM", "1"}}, true}, 100);
  const BoxSeen box = programAndAcknowledge(a);
  EXPECT_EQ(box.text, "UPLOAD FAILED!\n\n" + path + "\nAddress=7\nStopped at byte 0 of 100");
  EXPECT_TRUE(box.icon);
  EXPECT_EQ(a.closeAndWait(), 1);

  // The reset frame goes out 10 times, all refused; no data frame follows,
  // and the adapter is closed.
  const auto calls = readLineRecord(a.lineLogPath());
  const std::vector<FrameRun> runs = runsOf(calls);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0], (FrameRun{resetFrameHex(0xFFFF), 10}));
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.back().name, "FT_Close");
}

TEST_F(Adapter, WritesFailFromTheSecondDataFrame) {
  // 10 reset sends and 40 sends of the first data frame go out; from the
  // 51st write the adapter refuses everything.
  App& a = prepare({&kV1_1, {{"FAIL_WRITES_FROM", "51"}}, true}, 100, 512);
  const BoxSeen box = programAndAcknowledge(a);
  EXPECT_EQ(box.text, "UPLOAD FAILED!\n\n" + path + "\nAddress=512\nStopped at byte 64 of 100");
  EXPECT_TRUE(box.icon);
  EXPECT_EQ(a.closeAndWait(), 1);

  const auto calls = readLineRecord(a.lineLogPath());
  const std::vector<FrameRun> expected = {
      {resetFrameHex(512), 10}, {dataFrameHex(image, 0), 40}, {dataFrameHex(image, 1), 40}};
  EXPECT_EQ(runsOf(calls), expected);
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.back().name, "FT_Close");
}

}  // namespace
