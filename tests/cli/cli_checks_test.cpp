// What a technician relies on, end to end: files that are no raw image
// refused, size and SHA-256 shown, a record per fixture, --force and -v,
// and the nearest adapter suggested.
#include <fstream>
#include <sstream>

#include "tests/cli/cli_fixture.h"

namespace {

std::vector<std::uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

const char* const kHexLine = ":100000000C9434000C9446000C9446000C944600D2\n";

TEST_F(CliTest, RefusesAFileThatIsNoRawImageBeforeTouchingTheAdapter) {
  const std::string path = file("fw.hex", bytesOf(kHexLine));
  const ProcessResult r = cli({"upload", path, "--adapter", "sim"});
  EXPECT_EQ(r.exitCode, 2) << show(r);
  EXPECT_TRUE(contains(r.err, "error: \"" + path + "\" looks like an Intel HEX file")) << show(r);
  EXPECT_TRUE(contains(r.err, "  or send it as it is with --force\n")) << show(r);
  EXPECT_EQ(r.out, "") << show(r);  // the adapter was never listed
}

TEST_F(CliTest, ShowsSizeAndSha256AndKeepsARecordPerFixture) {
  const std::string path = file("abc.bin", bytesOf("abc"));
  const std::string record = dir + "/fixtures.log";
  const std::string sha = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
  ProcessResult r = cli({"upload", path, "--adapter", "sim", "-f", "-a", "7", "--log", record});
  ASSERT_EQ(r.exitCode, 0) << show(r);
  EXPECT_EQ(r.err.rfind("image \"" + path + "\": 3 bytes, SHA-256 " + sha + "\n", 0), 0u)
      << show(r);
  r = cli({"upload", path, "--adapter", "sim", "-q", "--sim-fail", "open", "--log", record});
  EXPECT_EQ(r.exitCode, 1) << show(r);

  std::stringstream text;
  text << std::ifstream(record).rdbuf();
  EXPECT_TRUE(contains(text.str(), " Opened device SIM00001\n")) << text.str();
  EXPECT_TRUE(contains(text.str(), " result: file=\"" + path + "\" size=3 sha256=" + sha +
                                       " adapter=sim address=7 profile=v1.2 result=DONE exit=0\n"))
      << text.str();
  EXPECT_TRUE(contains(text.str(), " address=1 profile=v1.2 result=FAILED exit=1\n")) << text.str();
}

TEST_F(CliTest, ForceSendsItAnywayAndVerboseLogsEachFramesFirstSend) {
  const std::string path = file("fw.hex", bytesOf(kHexLine));
  const ProcessResult r = cli({"upload", path, "--adapter", "sim", "-f", "--force", "-v", "-q"});
  ASSERT_EQ(r.exitCode, 0) << show(r);  // the virtual device received it intact
  EXPECT_TRUE(contains(r.out, "Frame 1 (reset): first send at 0 ms\n")) << show(r);
  EXPECT_TRUE(contains(r.out, "Frame 2 (bytes 0-43): first send at ")) << show(r);
}

TEST_F(CliTest, AnUnknownAdapterNamesTheNearestAndTheKinds) {
  const ProcessResult r = cli({"upload", image(10), "--adapter", "sin"});
  EXPECT_EQ(r.exitCode, 64) << show(r);
  EXPECT_TRUE(contains(r.err,
                       "error: --adapter: unknown adapter \"sin\" (did you mean sim?); "
                       "adapters: d2xx[:SERIAL|:all], sim[:N], "))
      << show(r);
  EXPECT_TRUE(contains(r.err, "sacn:UNIVERSE[@HOST]\n")) << show(r);
}

}  // namespace
