// Several lines from the command line: the address list and the lines file
// as the README promises them, a driver's option refused with another
// adapter, a stop that ends every line with 130, and a standard output
// nobody reads that holds no line up.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <utility>
#include <vector>

#include "device/capture_reader.h"
#include "tests/cli/cli_fixture.h"

namespace {

using CliManyLines = CliTest;

std::size_t count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST_F(CliManyLines, AddressListsAndLinesFilesAsTheyAreWritten) {
  const std::string path = image(64);
  ProcessResult r = cli({"upload", path, "--adapter", "sim", "--fast", "--json", "-a", "1,5,9-12"});
  EXPECT_EQ(r.exitCode, 0) << show(r);
  EXPECT_TRUE(contains(r.out,
                       "\"addresses\": [\n        1,\n        5,\n        9,\n        10,\n"
                       "        11,\n        12\n      ]"))
      << show(r);
  r = cli({"upload", path, "--adapter", "sim", "-a", "5,3-6"});
  EXPECT_EQ(r.exitCode, 64) << show(r);

  std::ofstream(dir + "/lines") << "# the rig\nsim:2   # two simulated lines\n\n  sim # one more\n";
  r = cli({"upload", path, "--lines", dir + "/lines", "--fast", "--json"});
  EXPECT_EQ(r.exitCode, 0) << show(r);
  EXPECT_EQ(count(r.out, "\"line\": \"sim:"), 2u) << show(r);
  EXPECT_EQ(count(r.out, "\"line\": \"sim\""), 1u) << show(r);
  r = cli({"upload", path, "--adapter", "sim:3", "--fast", "--json", "--capture", "c.pcap"});
  EXPECT_EQ(count(r.out, "\"result\": \"done\""), 3u) << show(r);
  for (const char* name : {"c-1.pcap", "c-2.pcap", "c-3.pcap"})
    EXPECT_TRUE(std::filesystem::exists(dir + "/" + name)) << name;

  r = cli({"upload", path, "--adapter", "sacn:1", "--sim-none"});
  EXPECT_EQ(r.exitCode, 64) << show(r);
  EXPECT_TRUE(contains(r.err, "--sim-none applies to --adapter sim")) << show(r);
  r = cli({"upload", path, "--adapter", "sacn:1", "--serial", "A1"});
  EXPECT_EQ(r.exitCode, 64) << show(r);
  EXPECT_TRUE(contains(r.err, "--serial applies to the adapters chosen by serial number"))
      << show(r);
}

// Every line is told apart: a line named twice is refused with both places,
// simulated lines named again are lines of their own with serials of their
// own, and more lines than a run takes are refused before anything is sent.
TEST_F(CliManyLines, EveryLineIsOneLineWithANameOfItsOwn) {
  const std::string path = image(64);
  ProcessResult r = cli(
      {"upload", path, "--adapter", "artnet:127.0.0.1:0:0:1", "--adapter", "artnet:127.0.0.1:1"});
  EXPECT_EQ(r.exitCode, 64) << show(r);
  EXPECT_TRUE(contains(r.err,
                       "is named twice: --adapter artnet:127.0.0.1:0:0:1 and --adapter "
                       "artnet:127.0.0.1:1"))
      << show(r);
  // Two ways of writing one place are one line too.
  const std::vector<std::pair<std::string, std::string>> same = {
      {"artnet:localhost", "artnet:127.0.0.1:0"}, {"sacn:01", "sacn:1@239.255.0.1"}};
  for (const auto& [a, b] : same) {
    r = cli({"upload", path, "--adapter", a, "--adapter", b});
    EXPECT_EQ(r.exitCode, 64) << show(r);
    EXPECT_TRUE(contains(r.err, "is named twice: --adapter " + a)) << show(r);
  }
  std::ofstream(dir + "/lines") << "ftdi:A1\nd2xx:A1\n# again\nftdi:A1\n";
  r = cli({"upload", path, "--lines", dir + "/lines"});
  EXPECT_EQ(r.exitCode, 64) << show(r);
  EXPECT_TRUE(contains(r.err, "line 1 and --lines")) << show(r);
  EXPECT_TRUE(contains(r.err, "line 4; give each line once")) << show(r);

  r = cli({"upload", path, "--adapter", "sim", "--adapter", "sim", "--adapter", "sim:2", "--fast",
           "--json", "--verbose"});
  EXPECT_EQ(r.exitCode, 0) << show(r);
  // --verbose reaches every line: each logs its frames' first sends under its label.
  for (const char* first : {"[sim] Frame 1 (reset): first send at", "[sim:2] Frame 2 (bytes 0-"})
    EXPECT_TRUE(contains(r.err, first)) << first << "\n" << show(r);
  for (const char* label :
       {"\"line\": \"sim\"", "\"line\": \"sim#2\"", "\"line\": \"sim:1\"", "\"line\": \"sim:2\""})
    EXPECT_TRUE(contains(r.out, label)) << label << "\n" << show(r);
  for (const char* opened : {"[sim] Opened device SIM00001", "[sim#2] Opened device SIM00002",
                             "[sim:1] Opened device SIM00003", "[sim:2] Opened device SIM00004"})
    EXPECT_TRUE(contains(r.err, opened)) << opened << "\n" << show(r);

  std::vector<std::string> many{"upload", path};
  for (int i = 0; i < 5; ++i) many.insert(many.end(), {"--adapter", "sim:256"});
  r = cli(many);
  EXPECT_EQ(r.exitCode, 64) << show(r);
  EXPECT_TRUE(contains(r.err, "error: more than 1024 lines")) << show(r);
}

// Under a memory limit the system refuses some lines their thread: those
// lines fail alone with the reason, the others finish, the report is whole.
TEST_F(CliManyLines, ALineThatGetsNoThreadFailsAloneAndTheOthersFinish) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitizer's own mappings take the memory limit";
#endif
  const std::string path = image(64);
  const std::string out = dir + "/report.json";
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    // Threads get 256 MiB stacks (the stack limit sets them): 2.5 GiB holds a few, and
    // what is left when one more does not fit is still room for everything else.
    const rlimit stack{256L << 20, 256L << 20}, limit{2560L << 20, 2560L << 20};
    setrlimit(RLIMIT_STACK, &stack);
    setrlimit(RLIMIT_AS, &limit);
    const int report = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int null = open("/dev/null", O_WRONLY);
    dup2(report, 1);
    dup2(null, 2);
    const std::string p = program();
    execl(p.c_str(), p.c_str(), "upload", path.c_str(), "--adapter", "sim:256", "--fast", "--json",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  std::ifstream in(out);
  const std::string report((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::size_t failed = count(report, "no thread could be started for the line");
  const std::size_t done = count(report, "\"result\": \"done\"");
  EXPECT_GT(failed, 0u) << report.substr(0, 2000);
  EXPECT_GT(done, 0u);
  EXPECT_EQ(failed + done, 256u);
}

TEST_F(CliManyLines, ASignalStopsEveryLineWith130) {
  RunningProcess p = startProcess(program(), {"upload", image(3000), "--adapter", "sim:3"}, dir);
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // in the data phase
  kill(p.pid, SIGTERM);
  const ProcessResult r = finishProcess(p, 20);
  EXPECT_EQ(r.exitCode, 130) << show(r);
  EXPECT_EQ(count(r.err, "  stopped "), 3u) << show(r);
  EXPECT_TRUE(contains(r.err, "interrupted: every line stopped")) << show(r);
}

// 64 lines with the log of every frame (-v) into a pipe of 4 KiB that
// nobody reads: the captures are whole within the lines' nominal time.
TEST_F(CliManyLines, AStandardOutputNobodyReadsHoldsNoLineUp) {
  const std::string path = image(100);
  int pipeEnds[2];
  ASSERT_EQ(pipe(pipeEnds), 0);
  fcntl(pipeEnds[1], F_SETPIPE_SZ, 4096);
  const std::string capture = dir + "/line.pcap";
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    dup2(pipeEnds[1], 1);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 2);
    const std::string p = program();
    execl(p.c_str(), p.c_str(), "upload", path.c_str(), "--adapter", "sim:64", "--fast", "-v",
          "--capture", capture.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipeEnds[1]);
  // Nominal: 0.1 s of resets, 1 s after them, 60 sends of 11 ms; with room for a loaded machine.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(12);
  int whole = 0;
  while (std::chrono::steady_clock::now() < deadline && whole < 64) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    whole = 0;
    for (int i = 1; i <= 64; ++i)
      whole += std::filesystem::exists(dir + "/line-" + std::to_string(i) + ".pcap") ? 1 : 0;
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  close(pipeEnds[0]);
  ASSERT_EQ(whole, 64);
  for (int i = 1; i <= 64; ++i) {
    vdev::Capture c;
    std::string error;
    ASSERT_TRUE(vdev::readCapture(dir + "/line-" + std::to_string(i) + ".pcap", c, error)) << error;
    EXPECT_EQ(c.records.size(), 10u + 40u + 40u) << i;  // resets, then two frames of 40 sends
  }
}

}  // namespace
