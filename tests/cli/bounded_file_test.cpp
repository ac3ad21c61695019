// The bounded reader on the things every platform has, and the escaping of
// names for the terminal.
#include "files/bounded_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "files/shown_text.h"
#include "tests/support/temp_folder.h"

namespace {

TEST(BoundedFile, ReadsUpToItsLimitAndNamesWhatItRefuses) {
  const TempFolder folder("uploader-bounded-file");
  const auto& dir = folder.path();
  const std::string path = (dir / "ten.bin").string();
  std::FILE* f = std::fopen(path.c_str(), "wb");
  std::fputs("0123456789", f);
  std::fclose(f);
  std::vector<std::uint8_t> bytes;
  std::string error;
  EXPECT_EQ(files::readFile(path, 10, bytes, error), files::Problem::none) << error;
  EXPECT_EQ(bytes.size(), 10u);
  EXPECT_EQ(files::readFile(path, 9, bytes, error), files::Problem::tooLarge);
  EXPECT_TRUE(bytes.empty());
  EXPECT_NE(error.find("is larger than 9 bytes"), std::string::npos) << error;
  EXPECT_EQ(files::readFile(dir.string(), 10, bytes, error), files::Problem::directory);
  EXPECT_NE(error.find("is a directory"), std::string::npos) << error;
  EXPECT_EQ(files::readFile((dir / "none").string(), 10, bytes, error), files::Problem::missing);
}

TEST(ShownText, EscapesWhatATerminalWouldActOnAndKeepsTheRest) {
  EXPECT_EQ(files::shown("C:\\fw\\caf\xc3\xa9 \xe2\x82\xac.bin"),
            "C:\\fw\\caf\xc3\xa9 \xe2\x82\xac.bin");
  EXPECT_EQ(files::shown("a\x1b[31mb\n\t\x7f"), "a\\x1b[31mb\\x0a\\x09\\x7f");
  EXPECT_EQ(files::shown("\xc2\x9b"
                         "2J"),
            "\\xc2\\x9b2J");                                   // C1 CSI in UTF-8
  EXPECT_EQ(files::shown("\x9b\xff\xc3"), "\\x9b\\xff\\xc3");  // not UTF-8
  EXPECT_EQ(files::shown("\xe2\x80\xae"
                         "evil"),
            "\\xe2\\x80\\xae"
            "evil");                                           // right-to-left override
  EXPECT_EQ(files::shown("\xed\xa0\x80"), "\\xed\\xa0\\x80");  // a surrogate
  EXPECT_EQ(files::quoted(std::string("x\0y", 3)), "\"x\\x00y\"");
}

}  // namespace
