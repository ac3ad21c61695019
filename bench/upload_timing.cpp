// Real uploads on the simulated adapter with real pauses: how close the
// pacing comes to the protocol's nominal timing, how late each pause ends,
// and what the upload costs in CPU and memory. Prints a Markdown table and
// optionally writes it to a file.
//
//   upload_timing [--out docs/performance.md] [--quick]
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "drivers/sim.h"
#include "engine/clock.h"
#include "engine/line.h"
#include "engine/operator.h"
#include "engine/program.h"
#include "profiles/profiles.h"
#include "tests/support/stand_ins.h"
#include "tests/support/temp_folder.h"

namespace {

struct Case {
  const ReleaseProfile* profile;
  bool fast;
  std::size_t bytes;
};

struct Row {
  Case c;
  std::size_t sends = 0;
  double nominalMs = 0;
  double measuredMs = 0;
  double minMarginUs = 0;                     // smallest (gap - pace); never below 0
  double medianUs = 0, p99Us = 0, maxUs = 0;  // overshoot of gap over pace
  double cpuPercent = 0;
  bool ok = false;
};

double cpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

double percentile(std::vector<double> v, double q) {
  std::sort(v.begin(), v.end());
  const std::size_t i = static_cast<std::size_t>(q * static_cast<double>(v.size() - 1) + 0.5);
  return v[std::min(i, v.size() - 1)];
}

Row measure(const Case& c, const std::string& imagePath) {
  Row row;
  row.c = c;
  std::vector<std::uint8_t> image(c.bytes);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 31 + 7);
  std::ofstream(imagePath, std::ios::binary)
      .write(reinterpret_cast<const char*>(image.data()),
             static_cast<std::streamsize>(image.size()));

  QuietOperator op;
  sim::SimAdapter adapter;
  LogCollector log;  // the engine's log lines would mix with the table
  std::vector<std::uint8_t> buffer(c.profile->imageCapacity);
  auto line = std::make_unique<Line>();
  lineUseProfile(*line, *c.profile, buffer.data(), buffer.size());
  line->adapter = &adapter;
  line->op = &op;
  line->log = &log;
  std::snprintf(line->szFile, sizeof line->szFile, "%s", imagePath.c_str());
  line->checked = c.fast;
  line->address = 1;

  const double cpu0 = cpuSeconds();
  const std::int64_t wall0 = realClock().nowMicros();
  const int result = program(*line);
  const std::int64_t wall1 = realClock().nowMicros();
  const double cpu1 = cpuSeconds();
  row.ok = result == uploadDone;

  const unsigned pace = c.fast ? 11 : 50;
  std::vector<std::int64_t> t;
  std::int64_t closeAt = 0;
  for (const sim::Record& r : adapter.record()) {
    if (r.call == sim::Call::write) t.push_back(r.micros);
    if (r.call == sim::Call::close) closeAt = r.micros;
  }
  row.sends = t.size();
  // What the protocol asks after each send: 10 ms in the reset burst (and
  // the 1 s pause after it), then the data pace.
  auto askedAfter = [&](std::size_t i) -> double {
    if (i < 9) return 10'000;
    if (i == 9) return 1'010'000;
    return pace * 1000.0;
  };
  std::vector<double> overshoot;
  for (std::size_t i = 1; i < t.size(); ++i)
    overshoot.push_back(static_cast<double>(t[i] - t[i - 1]) - askedAfter(i - 1));
  const double dataSends = static_cast<double>(t.size() - 10);
  row.nominalMs = 100 + 1000 + dataSends * pace;
  row.measuredMs = static_cast<double>(closeAt - t.front()) / 1000.0;
  row.minMarginUs = *std::min_element(overshoot.begin(), overshoot.end());
  row.medianUs = percentile(overshoot, 0.5);
  row.p99Us = percentile(overshoot, 0.99);
  row.maxUs = *std::max_element(overshoot.begin(), overshoot.end());
  row.cpuPercent = 100.0 * (cpu1 - cpu0) / (static_cast<double>(wall1 - wall0) / 1e6);
  return row;
}

// Peak resident memory of a command-line upload, in KiB (0 when not measured).
long cliPeakKiB(const std::string& imagePath) {
#ifdef UPLOADER_CLI_PATH
  const pid_t pid = fork();
  if (pid == 0) {
    const int devnull = open("/dev/null", O_WRONLY);
    dup2(devnull, 1);
    dup2(devnull, 2);
    execl(UPLOADER_CLI_PATH, UPLOADER_CLI_PATH, "upload", imagePath.c_str(), "--adapter", "sim",
          "--fast", "--quiet", static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return -1;
  return usage.ru_maxrss;
#else
  (void)imagePath;
  return 0;
#endif
}

std::string machineLine() {
  utsname u{};
  uname(&u);
  char date[64];
  const std::time_t now = std::time(nullptr);
  std::strftime(date, sizeof date, "%Y-%m-%d %H:%M UTC", std::gmtime(&now));
  std::ostringstream s;
  s << "Machine `" << u.nodename << "` (" << u.sysname << " " << u.release << ", " << u.machine
    << ", " << sysconf(_SC_NPROCESSORS_ONLN) << " CPUs), " << date << ".";
  return s.str();
}

}  // namespace

int main(int argc, char** argv) {
  std::string out;
  bool quick = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc)
      out = argv[++i];
    else if (std::strcmp(argv[i], "--quick") == 0)
      quick = true;
    else {
      std::fprintf(stderr, "usage: %s [--out FILE.md] [--quick]\n", argv[0]);
      return 64;
    }
  }
  const TempFolder folder("uploader-bench");
  // The uploaders it starts keep their service records here, not in the home folder.
  setenv("XDG_DATA_HOME", (folder.path() / "data").string().c_str(), 1);
  const std::string dir = folder.string();
  const std::string image = dir + "/image.bin";

  std::vector<Case> cases;
  const std::size_t small = quick ? 128 : 512;
  for (const ReleaseProfile* p : {&profileV1_2, &profileV1_1, &profileEarly})
    for (bool fast : {false, true}) cases.push_back({p, fast, small});
  cases.push_back({&profileV1_2, true, quick ? 4096u : 16384u});

  std::ostringstream md;
  md << "| profile | mode | image | sends | nominal ms | measured ms | ratio | min gap - pace µs "
        "| median late µs | p99 late µs | max late µs | CPU % |\n"
     << "|---|---|---|---|---|---|---|---|---|---|---|---|\n";
  bool allOk = true;
  double worstRatio = 0, worstP99 = 0, worstCpu = 0, worstMargin = 1e9;
  for (const Case& c : cases) {
    const Row r = measure(c, image);
    allOk = allOk && r.ok;
    const double ratio = r.measuredMs / r.nominalMs;
    worstRatio = std::max(worstRatio, ratio);
    worstP99 = std::max(worstP99, r.p99Us);
    worstCpu = std::max(worstCpu, r.cpuPercent);
    worstMargin = std::min(worstMargin, r.minMarginUs);
    char line[512];
    std::snprintf(
        line, sizeof line,
        "| %s | %s | %zu B | %zu | %.0f | %.1f | %.5f | %.0f | %.0f | %.0f | %.0f | %.2f |%s\n",
        c.profile->id, c.fast ? "fast" : "normal", c.bytes, r.sends, r.nominalMs, r.measuredMs,
        ratio, r.minMarginUs, r.medianUs, r.p99Us, r.maxUs, r.cpuPercent,
        r.ok ? "" : " upload failed");
    md << line;
    std::fputs(line, stdout);
    std::fflush(stdout);
  }
  const long rssKiB = cliPeakKiB(image);

  std::ostringstream doc;
  doc << "# Measured performance\n\n"
      << machineLine() << "\n\n"
      << "Real uploads on the simulated adapter with the real clock (`bench/upload_timing`). "
         "Nominal time is what the protocol asks: 10 reset sends each followed by 10 ms, 1 s, then "
         "every data send followed by its pace (50 ms, fast 11 ms). Measured time runs from the "
         "first write to the close. \"Late\" is how much longer a gap between two writes was than "
         "the pause asked after the first of them; \"min gap - pace\" must never be negative.\n\n"
      << md.str() << "\n";
  char summary[1024];
  std::snprintf(summary, sizeof summary,
                "| target (idle machine) | figure here | met |\n|---|---|---|\n"
                "| whole upload ratio <= 1.005 | %.5f | %s |\n"
                "| p99 late <= 300 µs | %.0f µs | %s |\n"
                "| no gap shorter than its pace | min %.0f µs | %s |\n"
                "| CPU <= 1 %% of wall time | %.2f %% | %s |\n"
                "| peak RSS of uploader-cli <= 8 MiB | %s | %s |\n",
                worstRatio, worstRatio <= 1.005 ? "yes" : "no", worstP99,
                worstP99 <= 300 ? "yes" : "no", worstMargin, worstMargin >= 0 ? "yes" : "no",
                worstCpu, worstCpu <= 1.0 ? "yes" : "no",
                rssKiB > 0 ? (std::to_string(rssKiB) + " KiB").c_str() : "not measured",
                rssKiB > 0 ? (rssKiB <= 8192 ? "yes" : "no") : "-");
  doc << "Worst case over the rows against the targets:\n\n"
      << summary
      << "\nHow the pauses are made: the real clock sleeps to an absolute deadline shortly before "
         "the end of the pause (0.8 % of it, 120 to 400 µs) (timer slack 1 ns) and watches the "
         "clock for the rest, so a pause "
         "never ends early and a wake-up that is on time costs almost nothing. On a shared virtual "
         "machine the kernel's wake-up is sometimes 0.3 to 3 ms late because the host has not "
         "scheduled the virtual CPU; those late wake-ups are what the p99 and maximum columns "
         "show, "
         "and they only stretch an upload. Waking earlier and spinning longer cuts them at a CPU "
         "cost that grows with the margin (1 % of an 11 ms pause is 110 µs), so the margin stays "
         "where the CPU target allows. Run `scripts/benchmark.sh` on an idle machine and compare "
         "rows within one run.\n";
  std::printf("\n%s", summary);
  if (!out.empty()) std::ofstream(out) << doc.str();
  return allOk && worstMargin >= 0 ? 0 : 1;
}
