// The pieces of the technician's checks: SHA-256 against the FIPS 180-2
// test vectors, what an image looks like, the nearest valid word, and the
// time-stamped record of an upload.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "cli/image_checks.h"
#include "cli/nearest_word.h"
#include "cli/record_log.h"
#include "cli/sha256.h"

namespace {

std::string sha(const std::string& text) {
  return sha256Hex(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

std::vector<std::uint8_t> bytesOf(const std::string& text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

TEST(Sha256, MatchesTheFipsTestVectors) {
  EXPECT_EQ(sha("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(sha("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(sha(std::string(1000000, 'a')),
            "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
  EXPECT_EQ(sha(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  // 55, 56 and 64 bytes: the length just fits, just does not, a whole block.
  EXPECT_EQ(sha(std::string(55, 'a')),
            "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318");
  EXPECT_EQ(sha(std::string(56, 'a')),
            "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a");
  EXPECT_EQ(sha(std::string(64, 'a')),
            "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb");
}

TEST(ImageChecks, TellWhatAFileLooksLike) {
  EXPECT_EQ(imageLooks({}), ImageLooks::empty);
  EXPECT_EQ(imageLooks(bytesOf(":100000000C9434000C9446000C9446000C944600D2\r\n")),
            ImageLooks::intelHex);
  EXPECT_EQ(imageLooks(bytesOf("\r\n:020000040000FA\n")), ImageLooks::intelHex);
  EXPECT_EQ(imageLooks(bytesOf("S00F000068656C6C6F202020202000003C\n")), ImageLooks::srecords);
  EXPECT_EQ(imageLooks(bytesOf("S1130000285F245F2212226A000424290008237C2A\n")),
            ImageLooks::srecords);
  EXPECT_EQ(imageLooks({0x7F, 'E', 'L', 'F', 2, 1, 1}), ImageLooks::elf);
  EXPECT_EQ(imageLooks({'P', 'K', 3, 4, 20, 0}), ImageLooks::zip);
  // Raw images, even ones that start like text.
  EXPECT_EQ(imageLooks({0x0C, 0x94, 0x34, 0x00}), ImageLooks::raw);
  EXPECT_EQ(imageLooks(bytesOf(":not hex at all")), ImageLooks::raw);
  EXPECT_EQ(imageLooks(bytesOf("Sx130000")), ImageLooks::raw);
  EXPECT_EQ(imageLooks({'P', 'K', 1, 2}), ImageLooks::raw);
}

TEST(ImageChecks, SayHowToGetARawImage) {
  EXPECT_EQ(imageRefusal(ImageLooks::raw, "fw.bin"), "");
  const std::string hex = imageRefusal(ImageLooks::intelHex, "out/fw.hex");
  EXPECT_NE(hex.find("\"out/fw.hex\" looks like an Intel HEX file"), std::string::npos) << hex;
  EXPECT_NE(hex.find("objcopy -I ihex -O binary out/fw.hex fw.bin"), std::string::npos) << hex;
  EXPECT_NE(hex.find("--force"), std::string::npos) << hex;
  EXPECT_NE(imageRefusal(ImageLooks::srecords, "fw.s19").find("objcopy -I srec -O binary"),
            std::string::npos);
  EXPECT_NE(imageRefusal(ImageLooks::elf, "fw.elf").find("objcopy -O binary fw.elf fw.bin"),
            std::string::npos);
  EXPECT_NE(imageRefusal(ImageLooks::zip, "fw.zip").find("zip archive"), std::string::npos);
  EXPECT_NE(imageRefusal(ImageLooks::empty, "fw.bin").find("is empty"), std::string::npos);
}

TEST(NearestWord, SuggestsOnlyWhatIsNear) {
  EXPECT_EQ(editDistance("--adress", "--address"), 1u);
  EXPECT_EQ(editDistance("lsit", "list"), 1u);  // two neighbours swapped
  EXPECT_EQ(nearestWord("--adress", {"--adapter", "--address", "--serial"}), "--address");
  EXPECT_EQ(nearestWord("sin", {"d2xx", "sim", "ftdi"}), "sim");
  EXPECT_EQ(nearestWord("nosuch", {"d2xx", "sim", "ftdi", "tty", "artnet", "sacn"}), "");
  EXPECT_EQ(nearestWord("--frobnicate", {"--force", "--fast"}), "");
}

TEST(RecordLog, StampsEveryLineAndEndsWithTheResult) {
  const std::string path =
      (std::filesystem::temp_directory_path() / "uploader-record-log-test.log").string();
  std::filesystem::remove(path);
  LogCollector usual;
  {
    RecordLog record(usual);
    std::string error;
    ASSERT_TRUE(record.open(path, error)) << error;
    record.write("Opened device SIM00001\n");
    record.write("Send errors: ");  // a line in two pieces gets one stamp
    record.write("3\nClosed device SIM00001\n");
    record.note(resultLine("file=\"fw.bin\" address=7", 0));
  }
  EXPECT_EQ(usual.text(), "Opened device SIM00001\nSend errors: 3\nClosed device SIM00001\n");
  std::stringstream text;
  {
    std::ifstream in(path, std::ios::binary);
    text << in.rdbuf();
  }
  const std::string stamp = R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d )";
  EXPECT_TRUE(std::regex_match(
      text.str(), std::regex(stamp + "Opened device SIM00001\n" + stamp + "Send errors: 3\n" +
                             stamp + "Closed device SIM00001\n" + stamp +
                             "result: file=\"fw.bin\" address=7 result=DONE "
                             "exit=0\n")))
      << text.str();
  std::filesystem::remove(path);
}

TEST(RecordLog, GivesLocalTimeWithItsOffset) {
  const std::string t = isoLocalTime(0);
  EXPECT_TRUE(std::regex_match(t, std::regex(R"(19(69|70)-\d\d-\d\dT\d\d:\d\d:00[+-]\d\d:\d\d)")))
      << t;
}

}  // namespace
