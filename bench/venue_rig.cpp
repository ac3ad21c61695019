// A rig as a crew meets it: 100 of our fixtures on 16 universes behind 16
// Art-Net nodes (loopback addresses 127.0.0.10 and up, each on the Art-Net
// port, each with RDM responders that restart on a new version once an
// upload to them has ended), and one command that reads every fixture,
// uploads a 65,535-byte image to every universe at the fast pace and reads
// every fixture again. Prints how long the command took from start to end,
// its exit status and how many fixtures it confirmed.
//
//   venue_rig [--size BYTES] [--lines N] [--fixtures N]
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/net/fake_rdm_node.h"
#include "tests/support/temp_folder.h"

namespace {

using Steady = std::chrono::steady_clock;

long argument(int argc, char** argv, const char* name, long fallback) {
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], name) == 0) return std::atol(argv[i + 1]);
  return fallback;
}

}  // namespace

int main(int argc, char** argv) {
  const long size = argument(argc, argv, "--size", 65535);
  const long lines = argument(argc, argv, "--lines", 16);
  const long fixtures = argument(argc, argv, "--fixtures", 100);
  if (size < 1 || size > 65535 || lines < 1 || lines > 200 || fixtures < lines) {
    std::fputs("usage: venue_rig [--size 1-65535] [--lines 1-200] [--fixtures >= lines]\n", stderr);
    return 64;
  }
  TempFolder folder("uploader-venue");
  const std::string image = (folder / "fw.bin").string();
  {
    std::ofstream out(image, std::ios::binary);
    for (long i = 0; i < size; ++i) out.put(static_cast<char>((i * 7 + 3) & 0xFF));
  }
  std::vector<std::unique_ptr<testnet::FakeRdmNode>> nodes;
  std::string command = UPLOADER_CLI_PATH " upload " + image + " --fast --read-back --json";
  std::uint32_t device = 1;
  for (long n = 0; n < lines; ++n) {
    std::vector<testnet::FakeResponder> here;
    const long count = fixtures / lines + (n < fixtures % lines ? 1 : 0);
    for (long f = 0; f < count; ++f) {
      testnet::FakeResponder r;
      r.device = device++;
      r.address = static_cast<std::uint16_t>(1 + f * 20);
      r.modelId = 0x0102;
      here.push_back(r);
    }
    const auto address = static_cast<std::uint32_t>(0x7F00000A + n);
    nodes.push_back(std::make_unique<testnet::FakeRdmNode>(0x0001, here, 6454, address));
    if (!nodes.back()->good()) {
      std::fprintf(stderr, "127.0.0.%ld:6454 cannot be bound: nothing measured\n", 10 + n);
      return 77;
    }
    nodes.back()->versionAfterUpload = 0x01010000;
    command += " --adapter artnet:127.0.0." + std::to_string(10 + n) + ":0:0:1";
  }
  const std::string report = (folder / "report.json").string();
  command += " > " + report + " 2> " + (folder / "log.txt").string();
  std::printf("%ld fixtures on %ld universes (%ld nodes), a %ld-byte image, --fast --read-back\n",
              fixtures, lines, lines, size);
  std::fflush(stdout);
  const Steady::time_point start = Steady::now();
  const int status = std::system(command.c_str());
  const double seconds = std::chrono::duration<double>(Steady::now() - start).count();
  int confirmed = 0;
  std::ifstream in(report);
  const nlohmann::json j = nlohmann::json::parse(in, nullptr, false);
  if (j.is_object() && j["readBack"].is_array())
    for (const auto& line : j["readBack"])
      for (const auto& f : line["fixtures"]) confirmed += f["confirmed"].get<bool>() ? 1 : 0;
  const int exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::printf("| whole command (read, upload, settle 10 s, read again) | %.1f s |\n", seconds);
  std::printf("| exit status | %d |\n| fixtures confirmed on the new version | %d of %ld |\n",
              exitStatus, confirmed, fixtures);
  if (exitStatus != 0) {
    std::ifstream log(folder / "log.txt");
    std::string line;
    for (int i = 0; i < 20 && std::getline(log, line); ++i)
      std::fprintf(stderr, "%s\n", line.c_str());
  }
  return exitStatus == 0 && confirmed == fixtures ? 0 : 1;
}
