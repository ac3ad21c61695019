// uploader-cli against what a hostile or careless setup hands it: files that
// are no files, closed standard descriptors, full disks, captures with holes,
// options without their values and names holding escape sequences.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "tests/cli/cli_fixture.h"
#include "tests/device/packets.h"

namespace {

namespace fs = std::filesystem;

// A capture of link type 147 holding `packets`, one record each.
std::vector<std::uint8_t> pcapOf(const std::vector<Packet>& packets) {
  std::vector<std::uint8_t> b{0xD4, 0xC3, 0xB2, 0xA1, 2,    0,    4, 0, 0,   0, 0, 0,
                              0,    0,    0,    0,    0xFF, 0xFF, 0, 0, 147, 0, 0, 0};
  for (const Packet& p : packets) {
    const std::uint8_t head[16] = {0, 0, 0, 0, 0, 0, 0, 0, 76, 0, 0, 0, 76, 0, 0, 0};
    b.insert(b.end(), head, head + 16);
    b.insert(b.end(), p.begin(), p.end());
  }
  return b;
}

Packet damaged(Packet p) {
  p[74] ^= 0x55;
  return p;
}

class CliHostile : public CliTest {
 protected:
  // The odd things a name can lead to; `kind` is what the error must call it.
  struct Odd {
    std::string path;
    const char* kind;
  };
  std::vector<Odd> oddFiles() {
    fs::create_directory(dir + "/folder");
    mkfifo((dir + "/fifo").c_str(), 0600);
    fs::create_symlink(dir + "/loop-b", dir + "/loop-a");
    fs::create_symlink(dir + "/loop-a", dir + "/loop-b");
    return {{dir + "/folder", "is a directory"},
            {"/dev/zero", "is a character device"},
            {dir + "/fifo", "is a FIFO"},
            {dir + "/loop-a", "is a loop of symbolic links"},
            {dir + "/none", "does not exist"}};
  }
  std::string capture(const char* name, const std::vector<Packet>& packets) {
    return file(name, pcapOf(packets));
  }
};

TEST_F(CliHostile, FilesThatAreNoFilesAreRefusedForWhatTheyAre) {
  const std::string good = capture("good.pcap", {resetTo(1), dataFrame(0, chunk(0))});
  std::vector<Odd> odd = oddFiles();
  for (const Odd& k : odd) {
    ProcessResult r = cli({"decode", k.path}, 20);
    EXPECT_EQ(r.exitCode, 2) << show(r);
    EXPECT_TRUE(contains(r.err, "cannot decode the capture: \"" + k.path + "\" " + k.kind))
        << show(r);
    r = cli({"decode", good, "--expect", k.path}, 20);
    EXPECT_EQ(r.exitCode, 2) << show(r);
    EXPECT_TRUE(contains(r.err, "error: --expect: \"" + k.path + "\" " + k.kind)) << show(r);
  }
  // No image is larger than 65535 bytes; reading a larger file to compare stops there.
  const ProcessResult r = cli({"decode", good, "--expect", image(65536, "big.bin")}, 20);
  EXPECT_EQ(r.exitCode, 2) << show(r);
  EXPECT_TRUE(contains(r.err, "big.bin\" is larger than 65535 bytes")) << show(r);
  if (geteuid() != 0) {  // root reads everything
    chmod(good.c_str(), 0);
    EXPECT_TRUE(contains(cli({"decode", good}).err, "no permission to read \"" + good)) << good;
  }
}

TEST_F(CliHostile, TheCidFileIsReadWithTheSameCare) {
  const std::string cid = dir + "/home/.config/tavik-uploader/cid";
  fs::create_directories(fs::path(cid).parent_path());
  ChildSetup home;
  home.environment = {{"HOME", dir + "/home"}, {"XDG_CONFIG_HOME", ""}};
  const std::vector<std::string> list{"list", "--adapter", "sacn:1@127.0.0.1"};
  for (const Odd& k : oddFiles()) {
    if (k.kind == std::string("does not exist")) continue;
    fs::create_symlink(k.path, cid);
    const ProcessResult r = cli(list, 20, home);
    EXPECT_EQ(r.exitCode, 1) << k.path << "\n" << show(r);
    EXPECT_TRUE(contains(r.out, "cannot read the sACN CID file: \"" + cid + "\" " + k.kind))
        << show(r);
    fs::remove(cid);
  }
  file("home/.config/tavik-uploader/cid", std::vector<std::uint8_t>(5000, ' '));
  EXPECT_TRUE(contains(cli(list, 20, home).out, "is larger than 1024 bytes"));
  fs::remove(cid);
  EXPECT_EQ(cli(list, 20, home).exitCode, 0);  // the first run makes one
  EXPECT_EQ(read(cid).size(), 37u);

  // A relative HOME or XDG_CONFIG_HOME would put it under the working directory.
  home.environment = {{"HOME", "home"}, {"XDG_CONFIG_HOME", "cfg"}};
  fs::remove_all(dir + "/home");
  const ProcessResult r = cli(list, 20, home);
  EXPECT_EQ(r.exitCode, 1) << show(r);
  EXPECT_TRUE(contains(r.out, "no settings folder")) << show(r);
  EXPECT_FALSE(fs::exists(dir + "/home") || fs::exists(dir + "/cfg"));
}

TEST_F(CliHostile, DecodeStreamsTheCaptureInLittleMemory) {
  // 40 MB of records against one: the peak may differ by far less than the file.
  // (Written piece by piece: the test's own memory counts in the child's peak.)
  const std::vector<std::uint8_t> one = pcapOf({resetTo(1)});
  const ProcessResult small = cli({"decode", file("small.pcap", one)});
  std::FILE* f = std::fopen((dir + "/big.pcap").c_str(), "wb");
  std::fwrite(one.data(), 1, one.size(), f);
  for (int i = 1; i < 450'000; ++i) std::fwrite(one.data() + 24, 1, one.size() - 24, f);
  std::fclose(f);
  const ProcessResult big = cli({"decode", dir + "/big.pcap"});
  EXPECT_EQ(big.exitCode, 4) << show(big);  // resets, and no data
  EXPECT_TRUE(contains(big.out, "450000 records")) << show(big);
  EXPECT_LT(big.peakKilobytes - small.peakKilobytes, 8 * 1024)
      << small.peakKilobytes << " kB against " << big.peakKilobytes << " kB";
}

TEST_F(CliHostile, AClosedStandardDescriptorIsNotHandedToTheCapture) {
  const std::string path = image(100);
  const std::string pcap = dir + "/line.pcap";
  const bool cases[][3] = {{false, true, false}, {false, false, true}, {true, true, true}};
  for (const auto& k : cases) {
    ChildSetup closed;
    closed.closeIn = k[0];
    closed.closeOut = k[1];
    closed.closeErr = k[2];
    const ProcessResult r =
        cli({"upload", path, "--adapter", "sim", "--fast", "--capture", pcap}, 120, closed);
    EXPECT_EQ(r.exitCode, 0) << show(r);
    EXPECT_EQ(read(pcap).size(), 24u + 90 * (16 + 76)) << k[0] << k[1] << k[2];
  }
}

TEST_F(CliHostile, ACaptureIsReplacedOnlyOnceTheUploadSentSomething) {
  const std::vector<std::uint8_t> precious{'k', 'e', 'e', 'p'};
  const std::string pcap = file("precious.pcap", precious);
  const std::string path = image(100);
  const std::vector<std::vector<std::string>> refused = {
      {"upload", dir + "/missing.bin", "--adapter", "sim"},
      {"upload", path, "--adapter", "sim", "--sim-fail", "open"},
      {"upload", path, "--adapter", "sim", "--sim-fail", "write"}};
  for (std::vector<std::string> args : refused) {
    args.insert(args.end(), {"--capture", pcap});
    EXPECT_NE(cli(args).exitCode, 0) << args.at(args.size() - 3);
    EXPECT_EQ(read(pcap), precious) << args.at(args.size() - 3);
    EXPECT_FALSE(fs::exists(pcap + ".partial"));
  }
  EXPECT_EQ(cli({"upload", path, "--adapter", "sim", "--fast", "--capture", pcap}).exitCode, 0);
  EXPECT_EQ(read(pcap).size(), 24u + 90 * (16 + 76));
  EXPECT_FALSE(fs::exists(pcap + ".partial"));
}

TEST_F(CliHostile, DecodeSaysWhichFramesTheCaptureLacks) {
  struct Case {
    std::vector<Packet> packets;
    const char* says;
  };
  const Packet reset = resetTo(1);
  const Case cases[] = {
      {{reset, dataFrame(0, chunk(0)), dataFrame(5, chunk(5))}, "sequence numbers 1-4 missing"},
      {{reset, dataFrame(1, chunk(1)), dataFrame(2, chunk(2))}, "sequence number 0 missing"},
      {{damaged(reset), damaged(dataFrame(0, chunk(0)))},
       "no reset frame for address 1 arrived (2 frames had a bad CRC)"},
      {{reset, dataFrame(0, chunk(0)), damaged(dataFrame(1, chunk(1)))},
       "sequence number 1 missing (1 only with a bad CRC)"},
      {{reset, dataFrame(0, chunk(0)), dataFrame(0, chunk(9))},
       "sequence number 0 arrived with different payloads"},
      {{reset}, "no data frame arrived after the reset"},
      {{}, "no reset frame for address 1 arrived"},
  };
  for (const Case& k : cases) {
    const ProcessResult r = cli({"decode", capture("c.pcap", k.packets), "--out", "out.bin"});
    EXPECT_EQ(r.exitCode, 4) << show(r);
    EXPECT_TRUE(
        contains(r.err, std::string("error: the capture does not hold the whole image: ") + k.says))
        << show(r);
  }
  const ProcessResult r = cli({"decode", capture("c.pcap", cases[0].packets)});
  EXPECT_TRUE(contains(r.out, "missing frames       1-4\n")) << show(r);
}

TEST_F(CliHostile, OutputLostToAFullDeviceIsAnError) {
  const std::string good = capture("good.pcap", {resetTo(1), dataFrame(0, chunk(0))});
  ChildSetup full;
  full.outTo = "/dev/full";
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"decode", good}, {"list", "--adapter", "sim"}, {"--help"}, {"--version"}}) {
    const ProcessResult r = cli(args, 20, full);
    EXPECT_EQ(r.exitCode, 74) << args[0] << "\n" << show(r);
    EXPECT_TRUE(contains(r.err, "error: standard output could not be written")) << show(r);
  }
  const ProcessResult r = cli({"decode", good, "--out", "/dev/full"});
  EXPECT_EQ(r.exitCode, 74) << show(r);
  EXPECT_TRUE(contains(r.err, "error: --out: cannot write \"/dev/full\": No space")) << show(r);
}

TEST_F(CliHostile, NamesAreShownWithTheirControlCharactersEscaped) {
  const std::string odd = dir + "/\x1b[2Jx\x07\n.pcap";
  const std::string escaped = dir + "/\\x1b[2Jx\\x07\\x0a.pcap";
  file(fs::path(odd).filename().string().c_str(), pcapOf({resetTo(1), dataFrame(0, chunk(0))}));
  ProcessResult r = cli({"decode", odd, "--out", odd + ".bin"});
  EXPECT_TRUE(contains(r.out, "Capture \"" + escaped + "\": 2 records")) << show(r);
  EXPECT_TRUE(contains(r.err, "to \"" + escaped + ".bin\"")) << show(r);
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"decode", odd + "-none"},
                                             {"upload", odd, "--\x1b[2J"},
                                             {"\x1b[2J"},
                                             {"upload", odd, "--adapter", "sim:\x1b[2J"},
                                             {"upload", odd,
                                              "--serial=\x9b"
                                              "2J"}}) {
    r = cli(args);
    EXPECT_NE(r.exitCode, 0) << show(r);
    EXPECT_EQ(r.err.find_first_of("\x1b\x07\x9b"), std::string::npos) << show(r);
    EXPECT_TRUE(contains(r.err, "\\x")) << show(r);
  }
}

TEST_F(CliHostile, EveryOutputAskedForIsCheckedInEveryMode) {
  const std::string fw = image(150);
  // One line, several, --json, -q: the adapter and what else is given.
  const std::vector<std::vector<std::string>> modes = {
      {"sim"}, {"sim:2"}, {"sim", "--json"}, {"sim", "-q"}};
  for (const std::vector<std::string>& mode : modes) {
    std::vector<std::string> args = {"upload", fw, "--fast", "--log", "/dev/full", "--adapter"};
    args.insert(args.end(), mode.begin(), mode.end());
    ProcessResult r = cli(args);
    EXPECT_EQ(r.exitCode, 74) << show(r);
    EXPECT_TRUE(contains(r.err, "\"/dev/full\" could not be written: No space")) << show(r);
    // A capture that stops growing: the disk filled during the upload.
    args = {"upload", fw, "--fast", "--adapter", "sim:2", "--capture", "cut.pcap"};
    args.insert(args.end(), mode.begin() + 1, mode.end());
    ChildSetup small;
    small.fileSizeLimit = 4096;
    r = cli(args, 120, small);
    EXPECT_EQ(r.exitCode, 74) << show(r);
    EXPECT_TRUE(contains(r.err, "error: capture \"cut-1.pcap\" is incomplete")) << show(r);
  }
  ChildSetup full;
  full.outTo = "/dev/full";
  const ProcessResult r = cli({"upload", fw, "--fast", "--adapter", "sim:2", "--json"}, 120, full);
  EXPECT_EQ(r.exitCode, 74) << show(r);
  EXPECT_TRUE(contains(r.err, "error: standard output could not be written: No space")) << show(r);
}

TEST_F(CliHostile, ACaptureCutInsideARecordIsNoWholeImage) {
  std::vector<std::uint8_t> bytes =
      pcapOf({resetTo(1), dataFrame(0, chunk(0)), dataFrame(1, chunk(1))});
  bytes.resize(bytes.size() - 30);
  const ProcessResult r = cli({"decode", file("cut.pcap", bytes), "--out", "out.bin"});
  EXPECT_EQ(r.exitCode, 4) << show(r);
  EXPECT_TRUE(contains(r.err,
                       "error: the capture does not hold the whole image: the capture "
                       "ends in the middle of a record"))
      << show(r);
  EXPECT_FALSE(fs::exists(dir + "/out.bin")) << show(r);
}

TEST_F(CliHostile, ANameCannotForgeALineOfTheRecord) {
  const std::string forged = "fw\nresult: file=\"fw.bin\" result=DONE exit=0\n.bin";
  image(150, forged.c_str());
  const ProcessResult r =
      cli({"upload", forged, "--adapter", "sim", "--sim-fail", "open", "--log", "record.log"});
  EXPECT_EQ(r.exitCode, 1) << show(r);
  const std::vector<std::uint8_t> bytes = read(dir + "/record.log");
  const std::string record(bytes.begin(), bytes.end());
  std::size_t results = 0;  // lines that are a result line after their time stamp
  std::string line;
  for (std::size_t at = 0; at < record.size(); at = record.find('\n', at) + 1) {
    const std::size_t text = record.find(' ', at) + 1;
    if (record.compare(text, 8, "result: ") != 0) continue;
    ++results;
    line = record.substr(text, record.find('\n', text) - text);
  }
  EXPECT_EQ(results, 1u) << record;
  // Nor fields of the line: the file's value ends at the next quote, and
  // what follows it is the upload's own result.
  const std::string after = line.substr(line.find('"', 14));
  EXPECT_EQ(after.find("result=DONE"), std::string::npos) << record;
  EXPECT_NE(after.find(" result=FAILED"), std::string::npos) << record;
}

}  // namespace
