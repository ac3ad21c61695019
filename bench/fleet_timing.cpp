// Many lines at once: 64 simulated lines in one uploader-cli process, fast
// mode, a 4 KiB image; the same 64 lines as 64 processes side by side; and
// 64 Art-Net universes to a loopback receiver. Prints a Markdown section
// (and writes it into a file with --out) with each line's data phase
// against its nominal time, the shortest gap against its pause, how late
// the sends came, and the process's CPU and peak memory.
//
//   fleet_timing [--out docs/performance.md] [--lines N] [--artnet-only]
//                [--net NODES/UNIVERSES]   (that Art-Net row alone)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "device/capture_reader.h"
#include "drivers/artnet.h"
#include "engine/line_scheduler.h"
#include "tests/net/timing_node.h"
#include "tests/support/session_plan.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

constexpr unsigned kFastPaceUs = 11'000;

struct Timing {
  double worstPhaseRatio = 0;  // data phase / nominal, the worst line
  double minMarginUs = 1e9;    // shortest gap minus its pause, over every line
  double p50LateUs = 0;
  double p90LateUs = 0;
  double p99LateUs = 0;
  double maxLateUs = 0;
  std::size_t lines = 0;
  std::size_t packets = 0;  // received, where the receiver counts them
};

struct Cost {
  double cpuPercent = 0;  // of one core, over the wall time
  long peakKiB = 0;
  double seconds = 0;
};

double percentile(std::vector<double> v, double q) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<std::size_t>(q * static_cast<double>(v.size() - 1)))];
}

// The gaps of every capture: each after its pause (10 ms in the reset
// burst, 1 s after it, then the data pace).
Timing timingOf(const std::vector<fs::path>& captures) {
  Timing t;
  std::vector<double> late;
  for (const fs::path& p : captures) {
    vdev::Capture c;
    std::string error;
    if (!vdev::readCapture(p.string(), c, error) || c.records.size() < 12) continue;
    ++t.lines;
    const auto& r = c.records;
    for (std::size_t i = 1; i < r.size(); ++i) {
      const double asked = i < 10 ? 10'000 : i == 10 ? 1'010'000 : kFastPaceUs;
      const double gap = static_cast<double>(r[i].micros - r[i - 1].micros);
      t.minMarginUs = std::min(t.minMarginUs, gap - asked);
      late.push_back(gap - asked);
    }
    // The data phase: first data send to the last data send, plus its pace.
    const double phase = static_cast<double>(r.back().micros - r[10].micros) + kFastPaceUs;
    const double nominal = static_cast<double>(r.size() - 10) * kFastPaceUs;
    t.worstPhaseRatio = std::max(t.worstPhaseRatio, phase / nominal);
  }
  t.p99LateUs = percentile(late, 0.99);
  t.maxLateUs = percentile(late, 1.0);
  return t;
}

// The gaps of every universe's packets as the nodes time-stamped them, and
// the shortest gap between two packets to one node.
Timing timingOf(const std::vector<testnet::Arrival>& arrivals, double& nodeGapUs) {
  std::map<std::pair<int, int>, std::vector<std::int64_t>> byLine;
  for (const testnet::Arrival& a : arrivals) byLine[{a.node, a.universe}].push_back(a.micros);
  Timing t;
  std::vector<double> late;
  for (auto& [line, r] : byLine) {
    if (r.size() < 12) continue;
    std::sort(r.begin(), r.end());
    ++t.lines;
    for (std::size_t i = 1; i < r.size(); ++i) {
      const double asked = i < 10 ? 10'000 : i == 10 ? 1'010'000 : kFastPaceUs;
      const double gap = static_cast<double>(r[i] - r[i - 1]);
      t.minMarginUs = std::min(t.minMarginUs, gap - asked);
      late.push_back(gap - asked);
    }
    const double phase = static_cast<double>(r.back() - r[10]) + kFastPaceUs;
    const double nominal = static_cast<double>(r.size() - 10) * kFastPaceUs;
    t.worstPhaseRatio = std::max(t.worstPhaseRatio, phase / nominal);
  }
  t.p50LateUs = percentile(late, 0.5);
  t.p90LateUs = percentile(late, 0.9);
  t.p99LateUs = percentile(late, 0.99);
  t.maxLateUs = percentile(late, 1.0);
  nodeGapUs = static_cast<double>(testnet::shortestGapAtANode(arrivals));
  return t;
}

// `universes` Art-Net universes over `nodes` nodes at 127.0.0.2 on, sent by
// a child process running the session with the node gap on; this process
// receives. The cost is the child's alone.
Cost artnetRun(const std::string& image, int nodes, int universes, Timing& timing,
               double& nodeGapUs, bool& done) {
  int ready[2];
  if (pipe(ready) != 0) return {};
  const auto began = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    close(ready[1]);
    std::uint16_t port = 0;
    if (read(ready[0], &port, sizeof port) != sizeof port) _exit(2);
    artnet::Settings settings;
    settings.nodePort = port;
    settings.replyPort = 0;
    std::vector<SessionLine> fleet;
    for (int u = 0; u < universes; ++u) {
      std::string error;
      const std::string a =
          "127.0.0." + std::to_string(2 + u % nodes) + ":" + std::to_string(1 + u / nodes);
      fleet.push_back({{"artnet:" + a, "", "", "", false}, artnet::makeWith(a, settings, error)});
    }
    const std::vector<UploadReport> reports = runQuietly(planFor(image), fleet);
    for (const UploadReport& r : reports)
      if (r.outcome != Outcome::done)
        std::fprintf(stderr, "%s: %s\n", r.label.c_str(), r.reason.c_str());
    _exit(allDone(reports) ? 0 : 1);
  }
  close(ready[0]);
  Cost cost;
  {
    testnet::TimingNodes receivers(2, nodes, {}, 2);
    const std::uint16_t port = receivers.port();
    if (!receivers.good() || write(ready[1], &port, sizeof port) != sizeof port) kill(pid, SIGKILL);
    close(ready[1]);
    int status = 0;
    rusage u{};
    wait4(pid, &status, 0, &u);
    done = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    cost.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    const double cpu = static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
                       static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    cost.cpuPercent = 100.0 * cpu / cost.seconds;
    cost.peakKiB = u.ru_maxrss;
    receivers.waitFor(SIZE_MAX, 100);  // the last packets read
    const std::vector<testnet::Arrival> arrivals = receivers.arrivals();
    timing = timingOf(arrivals, nodeGapUs);
    timing.packets = arrivals.size();
  }
  return cost;
}

// Starts uploader-cli with `args`, output thrown away.
pid_t start(const std::vector<std::string>& args) {
  const pid_t pid = fork();
  if (pid == 0) {
    std::freopen("/dev/null", "w", stdout);
    std::freopen("/dev/null", "w", stderr);
    std::vector<char*> argv{const_cast<char*>(UPLOADER_CLI_PATH)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(UPLOADER_CLI_PATH, argv.data());
    _exit(127);
  }
  return pid;
}

// Runs the uploads of `commands` side by side; CPU and memory summed over them.
Cost runProcesses(const std::vector<std::vector<std::string>>& commands) {
  const auto began = std::chrono::steady_clock::now();
  std::vector<pid_t> pids;
  for (const auto& args : commands) pids.push_back(start(args));
  Cost cost;
  double cpu = 0;
  for (pid_t pid : pids) {
    int status = 0;
    rusage u{};
    wait4(pid, &status, 0, &u);
    cpu += static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    cost.peakKiB += u.ru_maxrss;
  }
  cost.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  cost.cpuPercent = 100.0 * cpu / cost.seconds;
  return cost;
}

std::vector<fs::path> numbered(const fs::path& dir, const std::string& stem, int n) {
  std::vector<fs::path> paths;
  for (int i = 1; i <= n; ++i) paths.push_back(dir / (stem + "-" + std::to_string(i) + ".pcap"));
  return paths;
}

std::string row(const char* what, const Timing& t, const Cost& c) {
  char buf[320];
  std::snprintf(buf, sizeof buf, "| %s | %zu | %.4f | %.0f | %.0f | %.0f | %.2f | %.1f |\n", what,
                t.lines, t.worstPhaseRatio, t.minMarginUs, t.p99LateUs, t.maxLateUs, c.cpuPercent,
                static_cast<double>(c.peakKiB) / 1024.0);
  return buf;
}

}  // namespace

int main(int argc, char** argv) {
  std::string out;
  int n = 64;
  bool artnetOnly = false;
  int netNodes = 0, netUniverses = 0;  // --net NODES/UNIVERSES: that Art-Net row alone
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--artnet-only") == 0) artnetOnly = true;
    if (i + 1 == argc) break;
    if (std::strcmp(argv[i], "--net") == 0 &&
        std::sscanf(argv[++i], "%d/%d", &netNodes, &netUniverses) == 2)
      artnetOnly = true;
    if (std::strcmp(argv[i], "--out") == 0) out = argv[++i];
    if (std::strcmp(argv[i], "--lines") == 0) n = std::atoi(argv[++i]);
  }
  const TempFolder folder("uploader-fleet-bench");
  // The uploaders it starts keep their service records here, not in the home folder.
  setenv("XDG_DATA_HOME", (folder.path() / "data").string().c_str(), 1);
  const fs::path& dir = folder.path();
  const std::string image = (dir / "image.bin").string();
  {
    std::ofstream f(image, std::ios::binary);
    for (int i = 0; i < 4096; ++i) f.put(static_cast<char>(i * 31 + 7));
  }
  const std::string lines = "sim:" + std::to_string(n);

  Cost one, oneCaptured, many;
  Timing oneTiming, manyTiming;
  if (!artnetOnly) {
    // One process: its cost without captures (writing 64 captures costs CPU of
    // its own), then its timing from the captures of a second run.
    one = runProcesses({{"upload", image, "--adapter", lines, "--fast", "--quiet"}});
    oneCaptured = runProcesses({{"upload", image, "--adapter", lines, "--fast", "--quiet",
                                 "--capture", (dir / "one.pcap").string()}});
    oneTiming = timingOf(numbered(dir, "one", n));

    // The same lines as as many processes.
    std::vector<std::vector<std::string>> separate, separateCaptured;
    for (int i = 1; i <= n; ++i) {
      separate.push_back({"upload", image, "--adapter", "sim", "--fast", "--quiet"});
      separateCaptured.push_back({"upload", image, "--adapter", "sim", "--fast", "--quiet",
                                  "--capture",
                                  (dir / ("sep-" + std::to_string(i) + ".pcap")).string()});
    }
    many = runProcesses(separate);
    runProcesses(separateCaptured);
    manyTiming = timingOf(numbered(dir, "sep", n));
  }

  // Art-Net universes to loopback nodes: a sending process of their own,
  // the node gap on (100 µs), this process receiving.
  struct NetRun {
    int nodes;
    int universes;
    Timing timing;
    double nodeGapUs = 0;
    Cost cost;
  };
  std::vector<NetRun> nets{{4, 64, {}, 0, {}}, {16, 64, {}, 0, {}}, {16, 256, {}, 0, {}}};
  if (netNodes > 0 && netUniverses > 0) nets = {{netNodes, netUniverses, {}, 0, {}}};
  for (NetRun& r : nets) {
    bool done = false;
    r.cost = artnetRun(image, r.nodes, r.universes, r.timing, r.nodeGapUs, done);
    if (!done) std::fprintf(stderr, "an Art-Net line of %d did not end done\n", r.universes);
  }
  if (artnetOnly) {
    for (const NetRun& r : nets)
      std::printf(
          "%d universes / %d nodes: phase %.4f, min margin %.0f us, late p50 %.0f p90 %.0f "
          "p99 %.0f us, "
          "max late %.0f us, node gap min %.0f us, CPU %.2f %%, peak %.1f MiB, %zu packets\n",
          r.universes, r.nodes, r.timing.worstPhaseRatio, r.timing.minMarginUs, r.timing.p50LateUs,
          r.timing.p90LateUs, r.timing.p99LateUs, r.timing.maxLateUs, r.nodeGapUs,
          r.cost.cpuPercent, static_cast<double>(r.cost.peakKiB) / 1024.0, r.timing.packets);
    return 0;
  }

  std::ostringstream md;
  md << "\n## Many lines at once\n\n"
     << n << " lines, fast mode, a 4 KiB image (`bench/fleet_timing`). \"Phase ratio\" is the "
     << "worst line's data phase against its nominal time; \"min margin\" the shortest gap "
     << "between two sends less the pause asked after the first (never negative); \"late\" "
     << "how much longer than its pause a gap was, over every gap of every line. CPU is of "
     << "one core over the wall time, and with peak memory summed over the processes; the first "
     << "and third rows' cost is of a run without captures, the second row's of the run with a "
     << "capture on every line, whose captures give the timing of all three. The Art-Net rows' "
     << "sender is a process of its own (the session library, the node gap at 100 µs, no "
     << "captures); the benchmark receives at nodes 127.0.0.2 on and times each packet by the "
     << "kernel's receive stamp, reading every 2 ms so that the sender never pays for waking "
     << "it.\n\n"
     << "| run | lines | phase ratio | min margin µs | p99 late µs | max late µs | CPU % | "
        "peak MiB |\n|---|---|---|---|---|---|---|---|\n"
     << row("one process, simulated lines", oneTiming, one)
     << row("one process, simulated lines, a capture on every line", oneTiming, oneCaptured)
     << row("one process per line, simulated", manyTiming, many)
     << row("one process, Art-Net: 64 universes over 4 loopback nodes", nets[0].timing,
            nets[0].cost)
     << row("one process, Art-Net: 64 universes over 16 loopback nodes", nets[1].timing,
            nets[1].cost)
     << row("one process, Art-Net: 256 universes over 16 loopback nodes", nets[2].timing,
            nets[2].cost);
  char gaps[256];
  std::snprintf(gaps, sizeof gaps,
                "\nThe shortest gap between two packets to one node: %.0f, %.0f and %.0f µs.\n",
                nets[0].nodeGapUs, nets[1].nodeGapUs, nets[2].nodeGapUs);
  md << gaps;
  auto met = [](bool yes) { return yes ? "yes" : "no"; };
  char targets[2560];
  std::snprintf(targets, sizeof targets,
                "\nThe one process of simulated lines, a capture on every line, against the "
                "targets (idle machine):\n\n"
                "| target | figure here | met |\n|---|---|---|\n"
                "| every line's data phase within 0.5 %% of nominal | %.4f | %s |\n"
                "| no gap shorter than its pause | min %.0f µs | %s |\n"
                "| p99 lateness <= 0.3 ms | %.0f µs | %s |\n"
                "| CPU <= 5 %% of one core | %.2f %% | %s |\n"
                "| peak RSS <= 32 MiB | %.1f MiB | %s |\n"
                "\nOne timing thread paces every simulated and network line: it sleeps to the "
                "earliest step and serves every line then due; it wakes as early before a step as "
                "the middle of its last 32 wake-ups came late (10 to 150 µs, at most a tenth "
                "of the sleep) and watches the clock for the rest. Lines are spread over "
                "their pauses in groups of %zu, each group due %lld µs after the one before, "
                "so a send waits behind at most a group's sends; captures are written by a "
                "spool thread and the log by the session's event thread, never by the timing "
                "thread. The lines of one network node are staggered over the shortest pause "
                "(10 ms) so that its packets leave the node gap apart, one line of every node "
                "at each place: with 16 universes a node the thread wakes 16 times a pause. "
                "The lateness tail is the virtual machine's: a wake-up the host delays "
                "delays every line of that group at once.\n",
                oneTiming.worstPhaseRatio, met(oneTiming.worstPhaseRatio <= 1.005),
                oneTiming.minMarginUs, met(oneTiming.minMarginUs >= 0), oneTiming.p99LateUs,
                met(oneTiming.p99LateUs <= 300), oneCaptured.cpuPercent,
                met(oneCaptured.cpuPercent <= 5), static_cast<double>(oneCaptured.peakKiB) / 1024.0,
                met(oneCaptured.peakKiB <= 32 * 1024), LineScheduler::kGroupSize,
                static_cast<long long>(LineScheduler::kGroupSpacingMicros));
  md << targets;
  std::fputs(md.str().c_str(), stdout);
  if (!out.empty()) std::ofstream(out, std::ios::app) << md.str();
  return 0;
}
