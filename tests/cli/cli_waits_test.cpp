// Waits that must end: the fixtures command against a node of the tests'
// own on 127.0.0.1:6454 stopped by a real signal in its last fixture's GET,
// --lines, --log, decode's --out and --capture given a real FIFO, and a
// stop while a node is polled.
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <thread>

#include "tests/cli/cli_fixture.h"
#include "tests/net/fake_rdm_node.h"

namespace {

using CliWaits = CliTest;
using Steady = std::chrono::steady_clock;

long msSince(Steady::time_point t) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - t).count());
}

TEST_F(CliWaits, AStopDuringTheLastFixtureEndsFixturesInterrupted) {
  for (int signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal);
    testnet::FakeResponder quiet;
    quiet.silent = true;  // each of its GETs would wait 3 s
    testnet::FakeRdmNode node(0x0001, {quiet}, 6454);
    if (!node.good()) GTEST_SKIP() << "127.0.0.1:6454 is taken";
    RunningProcess p =
        startProcess(program(), {"fixtures", "--adapter", "artnet:127.0.0.1:0:0:1"}, dir);
    for (int i = 0; i < 500 && node.seen().empty(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_FALSE(node.seen().empty());
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const auto sent = Steady::now();
    kill(p.pid, signal);
    const ProcessResult r = finishProcess(p, 10);
    EXPECT_LT(msSince(sent), 1000);
    EXPECT_EQ(r.exitCode, 130) << show(r);
    EXPECT_TRUE(contains(r.err, "interrupted\n")) << show(r);
  }
}

TEST_F(CliWaits, LinesLogAndOutThatAreFifosAreRefusedAtOnce) {
  const std::string fifo = dir + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  ProcessResult r = cli({"upload", image(100), "--lines", fifo}, 10);
  EXPECT_NE(r.exitCode, 0) << show(r);
  EXPECT_TRUE(contains(r.err, "is a FIFO")) << show(r);
  r = cli({"upload", image(100), "--adapter", "sim", "--fast", "--log", fifo}, 10);
  EXPECT_NE(r.exitCode, 0) << show(r);
  EXPECT_TRUE(contains(r.err, "is a FIFO (named pipe): give a regular file")) << show(r);
  r = cli({"upload", image(100), "--adapter", "sim", "--fast", "--capture", "c.pcap"}, 30);
  ASSERT_EQ(r.exitCode, 0) << show(r);
  r = cli({"decode", "c.pcap", "--out", fifo}, 10);
  EXPECT_EQ(r.exitCode, 74) << show(r);
  EXPECT_TRUE(contains(r.err, "--out: \"" + fifo + "\" is a FIFO")) << show(r);
  // A character device that takes writes is a log too.
  r = cli({"upload", image(100), "--adapter", "sim", "--fast", "--log", "/dev/null"}, 30);
  EXPECT_EQ(r.exitCode, 0) << show(r);
}

// A stop while a node that does not answer is polled (3 s) is a stop, not a
// failed opening, for an upload and for its plan. No test's node is at
// 127.0.0.99: another test's node at 127.0.0.1 would answer the poll.
TEST_F(CliWaits, AStopWhileANodeIsPolledEndsStopped) {
  for (const char* plan : {"--fast", "--dry-run"}) {
    RunningProcess p = startProcess(
        program(), {"upload", image(100), "--adapter", "artnet:127.0.0.99:0:0:1", plan}, dir);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    kill(p.pid, SIGTERM);
    const ProcessResult r = finishProcess(p, 10);
    EXPECT_EQ(r.exitCode, 130) << plan << "\n" << show(r);
  }
}

TEST_F(CliWaits, ACaptureFifoWaitsForItsReaderUntilAStop) {
  const std::string fifo = dir + "/live.pcap";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  RunningProcess p = startProcess(
      program(), {"upload", image(100), "--adapter", "sim", "--fast", "--capture", fifo}, dir);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const auto sent = Steady::now();
  kill(p.pid, SIGTERM);
  const ProcessResult r = finishProcess(p, 10);
  EXPECT_LT(msSince(sent), 1000);
  EXPECT_EQ(r.exitCode, 130) << show(r);
}

}  // namespace
