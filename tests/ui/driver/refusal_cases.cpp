// Uploads refused before the adapter library is touched.
#include <gtest/gtest.h>
#include <windows.h>

#include "tests/ui/driver/fixture.h"
#include "tests/ui/driver/line_record.h"
#include "tests/ui/driver/operate.h"

namespace {

class Refusal : public WindowTest {};

TEST_F(Refusal, NoFileChosenEvenWithAPathTypedIn) {
  App app({&kV1_2, {}, true}, workDir);
  expectFreshWindow(app);
  // Only the Open dialog chooses a file; typing into the path box does not.
  typeIntoPathBox(app, writeImage("typed.bin", patternImage(10)));

  const BoxSeen box = programAndAcknowledge(app);
  EXPECT_EQ(box.text, "FILE NOT SELECTED!");
  EXPECT_TRUE(box.icon) << "an error box shows the error icon";
  EXPECT_EQ(app.closeAndWait(), 1);
  EXPECT_TRUE(readLineRecord(app.lineLogPath()).empty());
  EXPECT_EQ(app.stdoutText(), "");
}

TEST_F(Refusal, FileThatCannotBeRead) {
  const std::string path = writeImage("locked.bin", patternImage(10));
  App app({&kV1_1, {}, true}, workDir);
  expectFreshWindow(app);
  chooseFileInDialog(app, path);

  // Another program holds the file open and shares it with nobody.
  HANDLE lock = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  const BoxSeen box = programAndAcknowledge(app);
  CloseHandle(lock);
  EXPECT_EQ(box.text, "Cannot read file \"" + path + "\"");
  EXPECT_TRUE(box.icon);
  EXPECT_EQ(textOf(controlsOf(app).textBoxFile), path) << "the chosen file stays chosen";
  EXPECT_EQ(app.closeAndWait(), 1);
  EXPECT_TRUE(readLineRecord(app.lineLogPath()).empty());
}

TEST_F(Refusal, FileTooLargeFor16BitCounts) {
  const std::string path = writeImage("big.bin", patternImage(65536));
  App app({&kEarly, {}, true}, workDir);
  expectFreshWindow(app);
  chooseFileInDialog(app, path);
  clickFast(app);

  const BoxSeen box = programAndAcknowledge(app);
  EXPECT_EQ(box.text, "FILE TOO LARGE!\n\n" + path + "\n65536 bytes, at most 65535");
  EXPECT_TRUE(box.icon);
  const ProgressBar bar = progressOf(app);
  EXPECT_EQ(bar.high, 100) << "the progress bar is left alone";
  EXPECT_EQ(bar.position, 0);
  EXPECT_EQ(app.closeAndWait(), 1);
  EXPECT_TRUE(readLineRecord(app.lineLogPath()).empty());
  EXPECT_EQ(app.stdoutText(), "");
}

}  // namespace
