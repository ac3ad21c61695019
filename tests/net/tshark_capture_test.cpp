// Proof against a decoder we did not write: tshark captures the loopback
// traffic of a whole upload and its Art-Net and ACN dissectors decode it.
// Every packet must be ArtNzs (or an E1.31 data packet) with start code
// 0x91 and carry the frames the engine built, in order. Skipped where
// tshark is missing or may not capture on the loopback interface.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "drivers/artnet.h"
#include "drivers/sacn.h"
#include "engine/program.h"
#include "profiles/profiles.h"
#include "tests/net/net_harness.h"
#include "tests/support/session_plan.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

bool onPath(const char* program) {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path != nullptr ? path : "");
  for (std::string dir; std::getline(dirs, dir, ':');)
    if (!dir.empty() && access((fs::path(dir) / program).c_str(), X_OK) == 0) return true;
  return false;
}

std::string readAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Runs tshark with `args`, its output going to `out` and `err`. Returns the
// pid, or -1. Through setpriv where there is one, so that tshark gets SIGTERM
// should this program die first: a crashed test leaves no capture running.
pid_t spawnTshark(const std::vector<std::string>& args, const fs::path& out, const fs::path& err) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::vector<char*> argv;
  if (onPath("setpriv"))
    for (const char* a : {"setpriv", "--pdeathsig", "TERM", "--"})
      argv.push_back(const_cast<char*>(a));
  argv.push_back(const_cast<char*>("tshark"));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : -1;
}

// tshark's decoding of `capture`, one line of tab-separated fields per
// packet; on failure the one line is tshark's complaint.
std::vector<std::string> decode(const fs::path& dir, const fs::path& capture,
                                std::vector<std::string> args) {
  args.insert(args.begin(), {"-r", capture.string()});
  const fs::path out = dir / "decoded.txt";
  const fs::path err = dir / "decode-errors.txt";
  const pid_t pid = spawnTshark(args, out, err);
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return {"tshark failed: " + readAll(err)};
  std::vector<std::string> lines;
  std::stringstream text(readAll(out));
  for (std::string line; std::getline(text, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> split(const std::string& line, char separator) {
  std::vector<std::string> parts;
  std::stringstream s(line);
  for (std::string part; std::getline(s, part, separator);) parts.push_back(part);
  return parts;
}

std::vector<std::uint8_t> hexBytes(const std::string& hex) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  return bytes;
}

// The ACN dissector shows DMX slots as rows "001-016: 29 A9 FF ... | ...".
std::vector<std::uint8_t> acnSlots(const std::string& rendered) {
  std::vector<std::uint8_t> bytes;
  for (const std::string& row : split(rendered, ',')) {
    const std::size_t colon = row.find(':');
    if (colon == std::string::npos) continue;  // the column numbers
    std::stringstream cells(row.substr(colon + 1));
    for (std::string cell; cells >> cell;)
      if (cell.size() == 2 && cell != "..")
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(cell, nullptr, 16)));
  }
  return bytes;
}

class CaptureTest : public testnet::NetUploadTest {
 protected:
  void SetUp() override {
    NetUploadTest::SetUp();
    if (!onPath("tshark")) GTEST_SKIP() << "tshark is not installed";
    capture = fs::path(dir) / "capture.pcapng";
    // The probe's port is captured too, so that the capture shows when it is
    // live; the decoding leaves the probes out.
    const std::string filter =
        "udp port " + std::to_string(node.port()) + " or udp port " + std::to_string(probe.port());
    const fs::path shown = fs::path(dir) / "capture-out.txt";
    const fs::path err = fs::path(dir) / "capture-err.txt";
    pid = spawnTshark(
        {"-i", "lo", "-f", filter, "-w", capture.string(), "-P", "-l", "-a", "duration:120"}, shown,
        err);
    if (pid < 0) GTEST_SKIP() << "tshark cannot be started";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (readAll(shown).empty()) {
      int status = 0;
      if (waitpid(pid, &status, WNOHANG) == pid || std::chrono::steady_clock::now() > deadline) {
        if (WIFEXITED(status) || WIFSIGNALED(status)) pid = -1;
        stopCapture();
        GTEST_SKIP() << "tshark may not capture on the loopback interface here: " << readAll(err);
      }
      probe.sendTo("probe", 5, probe.port());
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  }
  void TearDown() override {
    stopCapture();
    NetUploadTest::TearDown();
  }
  void stopCapture() {
    if (pid <= 0) return;
    // Give the last packets time to reach the capture before it ends.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    kill(pid, SIGINT);
    int status = 0;
    waitpid(pid, &status, 0);
    pid = -1;
  }

  // Leaves the probes out of a decoding.
  std::vector<std::string> onlyNode() const {
    return {"-Y", "udp.port==" + std::to_string(node.port())};
  }

  testnet::LoopbackSocket probe;
  fs::path capture;
  pid_t pid = -1;
};

TEST_F(CaptureTest, TsharkDecodesEveryArtNetPacketAsArtNzsCarryingTheFrames) {
  artnet::Settings settings;
  settings.nodePort = node.port();
  settings.replyPort = 0;
  std::string error;
  chooseImage(patternImage(200));
  Adapter* toNode = keep(artnet::makeWith("127.0.0.1:0:0:5", settings, error), error);
  ASSERT_EQ(runThrough(toNode, profileV1_2), uploadDone) << log;
  stopCapture();
  auto args = onlyNode();
  args.insert(args.end(), {"-d", "udp.port==" + std::to_string(node.port()) + ",artnet", "-T",
                           "fields", "-e", "artnet.header.opcode", "-e", "artnet.data"});
  const auto lines = decode(dir, capture, args);
  const auto frames = framesSent();
  std::size_t nzs = 0, polls = 0, replies = 0;
  for (const std::string& line : lines) {
    const auto f = split(line, '\t');
    ASSERT_FALSE(f.empty()) << line;
    if (f[0] == "0x2000") {
      ++polls;
      continue;
    }
    if (f[0] == "0x2100") {
      ++replies;
      continue;
    }
    ASSERT_EQ(f[0], "0x5100") << "not ArtNzs: " << line;
    ASSERT_EQ(f.size(), 2u) << line;
    // After ProtVer: Sequence, StartCode, SubUni, Net, Length (2), slots.
    const auto body = hexBytes(f[1]);
    ASSERT_EQ(body.size(), 6u + 75u) << line;
    ASSERT_LT(nzs, frames.size());
    EXPECT_EQ(body[1], 0x91);
    EXPECT_EQ(body[2], 0x05);
    std::vector<std::uint8_t> packet{body[1]};
    packet.insert(packet.end(), body.begin() + 6, body.end());
    EXPECT_EQ(packet, frames[nzs]) << "packet " << nzs;
    ++nzs;
  }
  EXPECT_EQ(polls, 1u);
  EXPECT_EQ(replies, 1u);
  EXPECT_EQ(nzs, frames.size());
  EXPECT_GT(nzs, 0u);
}

TEST_F(CaptureTest, TsharkDecodesEverySacnPacketAsE131DataWithStartCode0x91) {
  const sacn::Settings settings{node.port(), "0f1e2d3c-4b5a-4978-8695-a4b3c2d1e0ff"};
  std::string error;
  chooseImage(patternImage(200));
  Adapter* source = keep(sacn::makeWith("77@127.0.0.1", settings, error), error);
  ASSERT_NE(source, nullptr) << error;
  ASSERT_EQ(runThrough(source, profileV1_2), uploadDone) << log;
  ASSERT_TRUE(node.waitFor(framesSent().size() + 3, 3000));
  stopCapture();
  std::vector<std::string> args = onlyNode();
  for (const char* a : {"--enable-heuristic", "acn", "-o", "acn.dmx_enable:TRUE", "-o",
                        "acn.dmx_display_zeros:TRUE", "-o", "acn.dmx_display_leading_zeros:TRUE",
                        "-o", "acn.dmx_display_line_format:16 per line", "-T", "fields"})
    args.push_back(a);
  for (const char* field : {"acn.cid", "acn.dmx.source_name", "acn.dmx.priority",
                            "acn.dmx.universe", "acn.dmx.option_p", "acn.dmx.option_s",
                            "acn.dmx.count", "acn.dmx.start_code2", "acn.dmx.data"})
    args.insert(args.end(), {"-e", field});
  const auto lines = decode(dir, capture, args);
  const auto frames = framesSent();
  ASSERT_EQ(lines.size(), frames.size() + 3) << (lines.empty() ? "" : lines[0]);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    SCOPED_TRACE("packet " + std::to_string(i));
    const auto f = split(lines[i], '\t');
    ASSERT_EQ(f.size(), 9u) << "not decoded as E1.31 data: " << lines[i];
    EXPECT_EQ(f[0], "0f1e2d3c-4b5a-4978-8695-a4b3c2d1e0ff");
    EXPECT_EQ(f[1], "uploader");
    EXPECT_EQ(f[2], "100");
    EXPECT_EQ(f[3], "77");
    const bool closing = i >= frames.size();
    EXPECT_EQ(f[4], "0");                  // never Preview_Data
    EXPECT_EQ(f[5], closing ? "1" : "0");  // Stream_Terminated
    EXPECT_EQ(f[6], "76");
    EXPECT_EQ(f[7], "145");  // 0x91
    std::vector<std::uint8_t> packet{0x91};
    const auto slots = acnSlots(f[8]);
    packet.insert(packet.end(), slots.begin(), slots.end());
    EXPECT_EQ(packet, closing ? frames.back() : frames[i]);
  }
}

// Four universes of one node as four lines at once: tshark sees each
// universe carry exactly the frames of a single upload, in order.
TEST_F(CaptureTest, AFleetOfFourUniversesCarriesASingleUploadOnEach) {
  const std::string path = chooseImage(patternImage(200));
  ASSERT_EQ(run(profileV1_2), uploadDone);  // the single upload, on the simulated adapter
  std::vector<std::vector<std::uint8_t>> single;
  for (const sim::Record* w : writes()) single.push_back(w->bytes);

  artnet::Settings settings;
  settings.nodePort = node.port();
  settings.replyPort = 0;
  std::vector<SessionLine> lines;
  for (int universe = 1; universe <= 4; ++universe) {
    std::string error;
    const std::string argument = "127.0.0.1:0:0:" + std::to_string(universe);
    lines.push_back(
        {{"artnet:" + argument, "", "", "", false}, artnet::makeWith(argument, settings, error)});
    ASSERT_NE(lines.back().adapter, nullptr) << error;
  }
  ASSERT_TRUE(allDone(runQuietly(planFor(path), lines)));
  stopCapture();

  auto args = onlyNode();
  args.insert(args.end(), {"-d", "udp.port==" + std::to_string(node.port()) + ",artnet", "-Y",
                           "artnet.header.opcode==0x5100", "-T", "fields", "-e", "artnet.data"});
  std::map<int, std::vector<std::vector<std::uint8_t>>> byUniverse;
  for (const std::string& line : decode(dir, capture, args)) {
    const auto body = hexBytes(line);
    ASSERT_EQ(body.size(), 6u + 75u) << line;
    std::vector<std::uint8_t> packet{body[1]};
    packet.insert(packet.end(), body.begin() + 6, body.end());
    byUniverse[body[2]].push_back(packet);
  }
  ASSERT_EQ(byUniverse.size(), 4u);
  for (const auto& [universe, packets] : byUniverse) EXPECT_EQ(packets, single) << universe;
}

}  // namespace
