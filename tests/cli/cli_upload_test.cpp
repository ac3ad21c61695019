// uploader-cli upload on the simulated adapter: every profile, every failure
// path, with the exit status and what a person reads.
#include "tests/cli/cli_fixture.h"

namespace {

struct ProfileCase {
  const char* profile;
  const char* resetLine;  // the log line of the reset burst
  const char* copies;     // the device's count of each frame's copies
};

void PrintTo(const ProfileCase& k, std::ostream* os) { *os << k.profile; }

class CliProfiles : public CliTest, public ::testing::WithParamInterface<ProfileCase> {};

TEST_P(CliProfiles, UploadsToTheVirtualDeviceAndVerifies) {
  const ProfileCase& k = GetParam();
  const std::string path = image(150);
  const ProcessResult r = cli({"upload", path, "--adapter", "sim", "--fast", "--address", "7",
                               "--profile", k.profile, "--serial", "SIM00001"});
  ASSERT_EQ(r.exitCode, 0) << show(r);
  // The engine's log, unchanged and in order, on standard output.
  const std::string log = "Readed file \"" + path + "\" 150B\nOpened device SIM00001\n" +
                          k.resetLine + "\nSending data\nClosed device SIM00001\n";
  EXPECT_EQ(r.out.substr(0, log.size()), log) << show(r);
  EXPECT_TRUE(contains(r.out, "Virtual device at address 7:\n")) << show(r);
  EXPECT_TRUE(contains(r.out, std::string("copies of each       ") + k.copies + "\n")) << show(r);
  EXPECT_TRUE(contains(r.out, "verification         match: 150 file bytes and 42 zero bytes\n"))
      << show(r);
  // Progress (not a terminal: plain lines) and the closing text on standard error.
  EXPECT_TRUE(contains(r.err, "progress: 100% (150/150 bytes, 3/3 frames,")) << show(r);
  EXPECT_TRUE(contains(r.err, "\nDONE\n\n" + path + "\nAddress=7\n")) << show(r);
  EXPECT_FALSE(contains(r.err, "error:")) << show(r);
}

INSTANTIATE_TEST_SUITE_P(
    Each, CliProfiles,
    ::testing::Values(ProfileCase{"v1.2", "Send reset with address 65535",
                                  "seq 0-1: 40, seq 2: 10"},
                      ProfileCase{"v1.1", "Send reset with address 7", "seq 0-1: 40, seq 2: 10"},
                      ProfileCase{"early", "Send reset with address 7", "seq 0-2: 10"}),
    [](const auto& info) {
      std::string n = info.param.profile;
      for (char& c : n)
        if (c == '.') c = '_';
      return n;
    });

// Failures before the line opens cost no pacing.
TEST_F(CliTest, AdapterFailuresExitOneWithTheEnginesMessage) {
  const std::string path = image(100);
  struct Case {
    std::vector<std::string> extra;
    const char* logged;
  } cases[] = {
      {{"--sim-fail", "list"}, "Error: FT_ListDevices(18)\n"},
      {{"--sim-fail", "open"}, "Error FT_OpenEx(3), device 0\n"},
      {{"--sim-none"}, "Error FT_OpenEx(2), device 0\n"},
      {{"--serial", "NOT-THERE"}, "sim: no simulated adapter has serial \"NOT-THERE\"\n"},
  };
  for (const Case& k : cases) {
    std::vector<std::string> args{"upload", path, "--adapter", "sim", "--fast"};
    args.insert(args.end(), k.extra.begin(), k.extra.end());
    const ProcessResult r = cli(args);
    EXPECT_EQ(r.exitCode, 1) << k.extra[0] << "\n" << show(r);
    EXPECT_TRUE(contains(r.out, k.logged)) << show(r);
    EXPECT_EQ(r.err.substr(r.err.find('\n') + 1), "error: CANNOT CONNECT TO PROGRAMMER\n")
        << show(r);
    EXPECT_FALSE(contains(r.out, "rmmod")) << show(r);  // advice for FTD2XX only
    EXPECT_FALSE(contains(r.out, "Virtual device")) << show(r);
  }
}

// With no simulated adapter nothing is opened or written: asking for a
// device or such a failure there is refused, not ignored.
TEST_F(CliTest, SimOptionsThatWouldDoNothingAreRefused) {
  for (const char* idle : {"--sim-device=3", "--sim-fail=write"}) {
    const ProcessResult r = cli({"upload", image(10), "--adapter", "sim", "--sim-none", idle});
    EXPECT_EQ(r.exitCode, 64) << show(r);
    EXPECT_TRUE(contains(r.err, "does nothing with --sim-none")) << show(r);
  }
}

TEST_F(CliTest, WritesFailingFromTheStartStopTheUpload) {
  const std::string path = image(100);
  const ProcessResult r =
      cli({"upload", path, "--adapter", "sim", "--fast", "--sim-fail", "write"});
  EXPECT_EQ(r.exitCode, 1) << show(r);
  EXPECT_TRUE(contains(r.out, "Send failed at frame 1\n")) << show(r);
  EXPECT_TRUE(contains(
      r.err, "error: UPLOAD FAILED!\n  " + path + "\n  Address=1\n  Stopped at byte 0 of 100\n"))
      << show(r);
  EXPECT_TRUE(contains(r.out, "frames seen          0\n")) << show(r);
  EXPECT_TRUE(contains(r.out, "MISMATCH: no reset frame for address 1 arrived")) << show(r);
  EXPECT_FALSE(contains(r.err, "DONE")) << show(r);
}

TEST_F(CliTest, WritesFailingMidwayLeaveTheDeviceShortAndSayWhere) {
  // 10 resets and 15 of the first frame's 40 sends get through.
  const std::string path = image(200);
  const ProcessResult r =
      cli({"upload", path, "--adapter", "sim", "--fast", "--sim-fail", "write-after:25"});
  EXPECT_EQ(r.exitCode, 1) << show(r);
  EXPECT_TRUE(contains(r.out, "Send failed at frame 3\n")) << show(r);
  EXPECT_TRUE(contains(r.err, "Stopped at byte 64 of 200")) << show(r);
  EXPECT_TRUE(contains(r.out, "copies of each       seq 0: 15\n")) << show(r);
  EXPECT_TRUE(contains(r.out, "MISMATCH at byte 64; missing sequence numbers 1-3")) << show(r);
}

TEST_F(CliTest, ADeviceThatHearsNoResetExitsThree) {
  // v1.1 resets only the chosen address; the device listens at another one.
  const std::string path = image(64);
  const ProcessResult r = cli({"upload", path, "--adapter", "sim", "--fast", "--profile", "v1.1",
                               "--address", "7", "--sim-device", "9", "--quiet"});
  EXPECT_EQ(r.exitCode, 3) << show(r);
  EXPECT_TRUE(contains(r.out, "reset for another address 10 (last to 7)")) << show(r);
  EXPECT_TRUE(contains(r.out, "MISMATCH: no reset frame for address 9 arrived")) << show(r);
  // --quiet: no progress and no closing text, only the error.
  EXPECT_EQ(r.err, "error: the virtual device did not receive the image intact\n") << show(r);
}

TEST_F(CliTest, RefusedFilesExitTwo) {
  const std::string missing = dir + "/missing.bin";
  ProcessResult r = cli({"upload", missing, "--adapter", "sim"});
  EXPECT_EQ(r.exitCode, 2) << show(r);
  EXPECT_EQ(r.err,
            "error: Cannot read file \"" + missing + "\"\n  \"" + missing + "\" does not exist\n")
      << show(r);

  const std::string big = image(65536, "big.bin");
  r = cli({"upload", big, "--adapter", "sim"});
  EXPECT_EQ(r.exitCode, 2) << show(r);
  EXPECT_TRUE(
      contains(r.err, "error: FILE TOO LARGE!\n  " + big + "\n  65536 bytes, at most 65535"))
      << show(r);
  EXPECT_FALSE(contains(r.out, "Opened device")) << show(r);

  r = cli({"upload", image(10), "--adapter", "sim", "--capture", dir + "/no/such/dir/c.pcap"});
  EXPECT_EQ(r.exitCode, 2) << show(r);
  EXPECT_TRUE(contains(r.err, "error: cannot create capture file \"" + dir + "/no/such/dir/c.pcap"))
      << show(r);
  EXPECT_EQ(r.out, "") << show(r);
}

TEST_F(CliTest, APathTooLongForTheUploaderIsAUsageError) {
  // The uploader holds 259 characters of path; a longer one is never cut short.
  std::string longName = dir + "/";
  longName.append(259 - longName.size() + 1, 'x');
  ASSERT_EQ(longName.size(), 260u);
  const ProcessResult r = cli({"upload", longName, "--adapter", "sim"});
  EXPECT_EQ(r.exitCode, 64) << show(r);
  EXPECT_EQ(r.err, "error: FILE path is 260 characters long; the uploader takes at most 259\n")
      << show(r);
  EXPECT_EQ(r.out, "");
}

TEST_F(CliTest, UsageErrorsAreOneLineAndExitSixtyFour) {
  const std::string path = image(10);
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"upload"},
      {"frobnicate"},
      {"upload", path, "--adress", "7"},
      {"upload", path, "--address", "513"},
      {"upload", path, "--address"},
      {"upload", path, "--profile", "v2"},
      {"upload", path, "--adapter", "nosuch"},
      {"upload", path, "--sim-device", "3"},  // not on the simulated adapter
      {"list", "extra"},
      {"decode", path, "--fast"},
      {"upload", path, "--capture", path},                          // would overwrite the image
      {"upload", path, "--adapter", "sim", "--capture", "--fast"},  // --capture lost its value
  };
  for (const auto& args : cases) {
    const ProcessResult r = cli(args);
    std::string joined;
    for (const auto& a : args) joined += a + " ";
    EXPECT_EQ(r.exitCode, 64) << joined << "\n" << show(r);
    EXPECT_EQ(r.err.rfind("error: ", 0), 0u) << joined << "\n" << show(r);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << joined << "\n" << show(r);
    EXPECT_EQ(r.out, "") << joined;
  }
  EXPECT_EQ(read(path).size(), 10u);  // the image survived
  EXPECT_FALSE(std::filesystem::exists(dir + "/--fast"));
}

TEST_F(CliTest, HelpAndVersion) {
  ProcessResult r = cli({"--help"});
  EXPECT_EQ(r.exitCode, 0);
  for (const char* word :
       {"upload FILE", "list", "decode FILE.pcap", "--address N", "--profile", "--fast",
        "--adapter NAME", "--serial S", "--capture FILE.pcap", "--quiet", "--sim-device N",
        "--sim-fail", "--sim-none", "--out IMAGE", "  sim[:N] ", "Exit status"})
    EXPECT_TRUE(contains(r.out, word)) << word;
  r = cli({"--version"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out.rfind("uploader-cli ", 0), 0u) << r.out;
}

TEST_F(CliTest, ListPrintsOneSerialALine) {
  ProcessResult r = cli({"list", "--adapter", "sim"});
  EXPECT_EQ(r.exitCode, 0) << show(r);
  EXPECT_EQ(r.out, "SIM00001\n");

  r = cli({"list", "--adapter", "sim", "--sim-none"});
  EXPECT_EQ(r.exitCode, 0) << show(r);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "no adapter found\n");

  r = cli({"list", "--adapter", "sim", "--sim-fail", "list"});
  EXPECT_EQ(r.exitCode, 1) << show(r);
  EXPECT_TRUE(contains(r.out, "Error: FT_ListDevices(18)\n")) << show(r);
  EXPECT_TRUE(contains(r.err, "error: cannot list the adapters of \"sim\"")) << show(r);

  // A node's host that cannot be found is an error, whatever its name says.
  r = cli({"list", "--adapter", "artnet:answered.invalid"});
  EXPECT_EQ(r.exitCode, 1) << show(r);
  EXPECT_TRUE(contains(r.err, "error: cannot find host \"answered.invalid\"")) << show(r);
}

}  // namespace

namespace {

// A file name with an escape sequence reaches the terminal escaped, in the
// engine's log and in its closing text alike.
TEST_F(CliTest, TheEnginesTextsShowControlCharactersEscaped) {
  const std::string path = file("red\x1b[31m.bin", std::vector<std::uint8_t>(10, 7));
  const ProcessResult r = cli({"upload", path, "--adapter", "sim", "--fast"});
  EXPECT_EQ(r.exitCode, 0) << show(r);
  EXPECT_EQ((r.out + r.err).find('\x1b'), std::string::npos) << show(r);
  EXPECT_TRUE(contains(r.out, "red\\x1b[31m.bin")) << show(r);
  EXPECT_TRUE(contains(r.err, "red\\x1b[31m.bin\nAddress=1")) << show(r);
}

}  // namespace
