// What a technician relies on: the image's size and SHA-256 before anything
// is sent, files that are no raw image refused, a record per fixture, the
// usual short options and help per command, and suggestions for mistypes.
#include <fstream>
#include <regex>
#include <sstream>

#include "tests/cli/cli_fixture.h"

namespace {

std::vector<std::uint8_t> bytesOf(const std::string& text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

std::string textOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST_F(CliTest, RefusesFilesThatAreNoRawImageBeforeTouchingTheAdapter) {
  const struct {
    const char* name;
    std::vector<std::uint8_t> bytes;
    const char* says;
  } cases[] = {
      {"fw.hex", bytesOf(":100000000C9434000C9446000C9446000C944600D2\n"),
       "looks like an Intel HEX file"},
      {"fw.s19", bytesOf("S00F000068656C6C6F202020202000003C\n"),
       "looks like a Motorola S-record file"},
      {"fw.elf", {0x7F, 'E', 'L', 'F', 1, 1, 1, 0}, "is an ELF executable"},
      {"fw.zip", {'P', 'K', 3, 4, 10, 0, 0, 0}, "is a zip archive"},
      {"empty.bin", {}, "is empty"},
  };
  for (const auto& k : cases) {
    const std::string path = file(k.name, k.bytes);
    const ProcessResult r = cli({"upload", path, "--adapter", "sim", "--fast"});
    EXPECT_EQ(r.exitCode, 2) << k.name << "\n" << show(r);
    EXPECT_TRUE(contains(r.err, "error: \"" + path + "\" " + k.says)) << show(r);
    EXPECT_TRUE(contains(r.err, "  or send it as it is with --force\n")) << show(r);
    EXPECT_EQ(r.out, "") << show(r);  // no log: the adapter was never listed
  }
}

TEST_F(CliTest, ShowsSizeAndSha256AndKeepsARecordWithTimeStamps) {
  const std::string path = file("abc.bin", bytesOf("abc"));
  const std::string record = dir + "/fixtures.log";
  const std::string sha = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
  ProcessResult r = cli({"upload", path, "--adapter", "sim", "-f", "-a", "7", "--log", record});
  ASSERT_EQ(r.exitCode, 0) << show(r);
  EXPECT_EQ(r.err.rfind("image \"" + path + "\": 3 bytes, SHA-256 " + sha + "\n", 0), 0u)
      << show(r);
  EXPECT_FALSE(contains(r.out, "first send")) << show(r);  // not without -v

  // A second fixture, one that fails: appended to the same record.
  r = cli({"upload", path, "--adapter", "sim", "-q", "--sim-fail", "open", "--log", record});
  EXPECT_EQ(r.exitCode, 1) << show(r);
  EXPECT_FALSE(contains(r.err, "SHA-256")) << show(r);  // --quiet

  const std::string text = textOf(record);
  const std::string stamp = R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d )";
  std::size_t lines = 0;
  for (std::size_t at = 0; at < text.size(); at = text.find('\n', at) + 1, ++lines)
    EXPECT_TRUE(std::regex_search(text.substr(at, 26), std::regex("^" + stamp)))
        << text.substr(at, text.find('\n', at) - at);
  EXPECT_GT(lines, 8u) << text;
  EXPECT_TRUE(contains(text, " Opened device SIM00001\n")) << text;
  EXPECT_TRUE(contains(text, " result: file=\"" + path + "\" size=3 sha256=" + sha +
                                 " adapter=sim address=7 profile=v1.2 result=DONE exit=0\n"))
      << text;
  EXPECT_TRUE(contains(text, " --sim-fail open: the simulated adapter refuses every opening.\n"))
      << text;
  EXPECT_TRUE(contains(text, " adapter=sim address=1 profile=v1.2 result=FAILED exit=1\n")) << text;
}

TEST_F(CliTest, ForceSendsItAnywayAndVerboseLogsEachFramesFirstSend) {
  const std::string path = file("fw.hex", bytesOf(":100000000C9434000C9446000C9446000C944600D2\n"));
  const ProcessResult r =
      cli({"upload", path, "--adapter", "sim", "--fast", "--force", "-v", "--quiet"});
  ASSERT_EQ(r.exitCode, 0) << show(r);  // the virtual device received it intact
  EXPECT_TRUE(contains(r.out, "Frame 1 (reset): first send at 0 ms\n")) << show(r);
  EXPECT_TRUE(contains(r.out, "Frame 2 (bytes 0-43): first send at ")) << show(r);
}

TEST_F(CliTest, HelpPerCommandVersionAndSuggestions) {
  ProcessResult r = cli({"upload", "--help"});
  EXPECT_EQ(r.exitCode, 0) << show(r);
  EXPECT_TRUE(contains(r.out, "-a, --address N")) << r.out;
  EXPECT_FALSE(contains(r.out, "--expect")) << r.out;
  r = cli({"-V"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out.rfind("uploader-cli ", 0), 0u) << r.out;

  r = cli({"upload", image(10), "--adapter", "sin"});
  EXPECT_EQ(r.exitCode, 64) << show(r);
  EXPECT_TRUE(contains(r.err,
                       "error: --adapter: unknown adapter \"sin\" (did you mean sim?); "
                       "adapters: d2xx, sim, "))
      << show(r);
  EXPECT_TRUE(contains(r.err, "sacn:UNIVERSE[@HOST]\n")) << show(r);
  r = cli({"list", "--adaptr", "sim"});
  EXPECT_EQ(r.exitCode, 64) << show(r);
  EXPECT_EQ(r.err, "error: unknown option \"--adaptr\" (did you mean --adapter?)\n") << show(r);
}

}  // namespace
