// The technician's checks: SHA-256 against the FIPS 180-2 test vectors,
// what an image looks like, the nearest valid word, the time-stamped record.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "cli/record_result.h"
#include "cli/upload_views.h"
#include "session/image.h"
#include "session/nearest_word.h"
#include "session/record_log.h"
#include "session/sha256.h"
#include "tests/support/temp_folder.h"

namespace {

std::vector<std::uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

std::string sha(const std::string& text) { return sha256Hex(bytesOf(text).data(), text.size()); }

TEST(Sha256, MatchesTheFipsTestVectors) {
  EXPECT_EQ(sha("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(sha("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(sha(std::string(1000000, 'a')),
            "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
  EXPECT_EQ(sha(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

TEST(ImageChecks, TellWhatAFileLooksLikeAndHowToGetARawImage) {
  EXPECT_EQ(imageLooks({}), ImageLooks::empty);
  EXPECT_EQ(imageLooks(bytesOf("\r\n:020000040000FA\n")), ImageLooks::intelHex);
  EXPECT_EQ(imageLooks(bytesOf("S00F000068656C6C6F2020")), ImageLooks::srecords);
  EXPECT_EQ(imageLooks({0x7F, 'E', 'L', 'F', 2}), ImageLooks::elf);
  EXPECT_EQ(imageLooks({'P', 'K', 3, 4, 20}), ImageLooks::zip);
  for (const char* raw : {"\x0C\x94\x34", ":not hex", "Sx130000", "PK\x01\x02"})
    EXPECT_EQ(imageLooks(bytesOf(raw)), ImageLooks::raw) << raw;

  const std::string hex = imageRefusal(ImageLooks::intelHex, "out/fw.hex");
  EXPECT_NE(hex.find("objcopy -I ihex -O binary out/fw.hex fw.bin"), std::string::npos) << hex;
  EXPECT_NE(imageRefusal(ImageLooks::srecords, "a.s19").find("-I srec"), std::string::npos);
  EXPECT_NE(imageRefusal(ImageLooks::elf, "a.elf").find("-O binary a.elf a.bin"),
            std::string::npos);
  EXPECT_EQ(imageRefusal(ImageLooks::raw, "fw.bin"), "");
}

TEST(NearestWord, SuggestsOnlyWhatIsNear) {
  EXPECT_EQ(editDistance("lsit", "list"), 1u);  // two neighbours swapped
  EXPECT_EQ(nearestWord("--adress", {"--adapter", "--address"}), "--address");
  EXPECT_EQ(nearestWord("nosuch", {"d2xx", "sim", "ftdi", "tty", "artnet", "sacn"}), "");
}

TEST(RecordLog, StampsEveryLineAndEndsWithTheResult) {
  const TempFolder folder("uploader-record-log");
  const auto path = folder / "record.log";
  LogCollector usual;
  {
    RecordLog record(usual);
    std::string error;
    ASSERT_TRUE(record.open(path.string(), error)) << error;
    record.write("Send errors: ");  // a line in two pieces gets one stamp
    record.write("3\nClosed device SIM00001\n");
    record.note(resultLine(nullptr, "fw.bin", "adapter=sim address=7", "v1.2", 0));
  }
  EXPECT_EQ(usual.text(), "Send errors: 3\nClosed device SIM00001\n");
  std::stringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  const std::string t = R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d )";
  EXPECT_TRUE(std::regex_match(
      text.str(),
      std::regex(
          t + "Send errors: 3\n" + t + "Closed device SIM00001\n" + t +
          "result: file=\"fw.bin\" adapter=sim address=7 profile=v1.2 result=DONE exit=0\n")))
      << text.str();
}

TEST(RecordResult, EveryExitStatusHasAWordOfItsOwn) {
  std::set<std::string> words;
  for (int code : {0, 1, 2, 3, 4, 5, 6, 64, 74, 130}) words.insert(resultWord(code));
  EXPECT_EQ(words.size(), 10u);
  EXPECT_EQ(words.count("ENDED"), 0u);
}

TEST(SingleLineView, ShowsDoneOnlyOnceTheReadBackConfirmedIt) {
  LogCollector log;
  SingleLineView view(log, false, false);
  view.holdClosing();
  testing::internal::CaptureStderr();
  view.closingBox(0, "DONE", false);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

}  // namespace
