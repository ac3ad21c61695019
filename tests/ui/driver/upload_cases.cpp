// Whole uploads through each program's window, checked on the line.
#include <gtest/gtest.h>

#include "tests/ui/driver/fixture.h"
#include "tests/ui/driver/line_record.h"
#include "tests/ui/driver/operate.h"

namespace {

class Upload : public WindowTest {};

// The log lines of an upload that ran to its end.
std::vector<std::string> doneLog(const std::string& path, std::size_t size,
                                 const std::string& serial, int resetAddress) {
  return {"Readed file \"" + path + "\" " + std::to_string(size) + "B", "Opened device " + serial,
          "Send reset with address " + std::to_string(resetAddress), "Sending data",
          "Closed device " + serial};
}

TEST_F(Upload, V1_2FastToAddress7ResetsEveryDevice) {
  const auto image = patternImage(100);
  const std::string path = writeImage("image.bin", image);
  App app({&kV1_2, {}, true}, workDir);
  expectFreshWindow(app);

  chooseFileInDialog(app, path);
  pickAddress(app, 7);
  clickFast(app);
  EXPECT_TRUE(fastTicked(app));
  const BoxSeen box = programAndAcknowledge(app);
  EXPECT_EQ(box.text, "\nDONE\n\n" + path + "\nAddress=7");
  EXPECT_FALSE(box.icon) << "the closing box of a good upload has no icon";
  const ProgressBar bar = progressOf(app);
  EXPECT_EQ(bar.low, 0);
  EXPECT_EQ(bar.high, 100);
  EXPECT_EQ(bar.position, 100);
  EXPECT_EQ(app.closeAndWait(), 1);

  expectUpload(readLineRecord(app.lineLogPath()), {"FTDBL001", 0xFFFF, image, 2, 11});
  EXPECT_EQ(linesOf(app.stdoutText()), doneLog(path, 100, "FTDBL001", 65535));
}

TEST_F(Upload, V1_1FastToAddress7OnTheFirstOfTwoAdapters) {
  const auto image = patternImage(100);
  const std::string path = writeImage("image.bin", image);
  App app({&kV1_1, {{"ADAPTERS", "FTA00001,FTB00002"}}, true}, workDir);
  expectFreshWindow(app);

  chooseFileInDialog(app, path);
  // The dialog opens again on the chosen file; cancelling keeps it.
  const std::string shown = openDialogAndCancel(app);
  EXPECT_TRUE(shown == path || shown == "image.bin") << shown;
  EXPECT_EQ(textOf(controlsOf(app).textBoxFile), path);

  pickAddress(app, 7);
  clickFast(app);
  const BoxSeen box = programAndAcknowledge(app);
  EXPECT_EQ(box.text, "\nDONE\n\n" + path + "\nAddress=7");
  EXPECT_FALSE(box.icon);
  EXPECT_EQ(progressOf(app).position, 100);
  EXPECT_EQ(app.closeAndWait(), 1);

  expectUpload(readLineRecord(app.lineLogPath()), {"FTA00001", 7, image, 2, 11});
  EXPECT_EQ(linesOf(app.stdoutText()), doneLog(path, 100, "FTA00001", 7));
}

TEST_F(Upload, EarlyAtNormalPaceToAddress7) {
  const auto image = patternImage(130);  // three frames, the last with 2 bytes
  const std::string path = writeImage("early image.bin", image);
  App app({&kEarly, {}, true}, workDir);
  expectFreshWindow(app);

  chooseFileInDialog(app, path);
  pickAddress(app, 7);
  // Ticked twice: clear again, so the normal pace.
  clickFast(app);
  EXPECT_TRUE(fastTicked(app));
  clickFast(app);
  EXPECT_FALSE(fastTicked(app));
  const BoxSeen box = programAndAcknowledge(app);
  EXPECT_EQ(box.text, "\nDONE\n\n" + path + "\nAddress=7");
  EXPECT_FALSE(box.icon);
  EXPECT_EQ(progressOf(app).high, 130);
  EXPECT_EQ(progressOf(app).position, 130);
  EXPECT_EQ(app.closeAndWait(), 1);

  expectUpload(readLineRecord(app.lineLogPath()), {"FTDBL001", 7, image, 0, 50});
  EXPECT_EQ(linesOf(app.stdoutText()), doneLog(path, 130, "FTDBL001", 7));
}

}  // namespace
