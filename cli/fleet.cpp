#include "cli/fleet.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "cli/adapter_choice.h"
#include "cli/address_list.h"
#include "cli/capture_tap.h"
#include "cli/exit_codes.h"
#include "cli/fleet_report.h"
#include "cli/fleet_view.h"
#include "cli/interrupt.h"
#include "cli/labelled_log.h"
#include "cli/terminal.h"
#include "cli/terminal_operator.h"
#include "device/verdict.h"
#include "device/virtual_device.h"
#include "drivers/registry.h"
#include "drivers/sim.h"
#include "engine/line.h"
#include "engine/line_phase.h"
#include "engine/line_scheduler.h"
#include "engine/program.h"
#include "files/shown_text.h"
#include "profiles/profiles.h"

namespace {

// Room for every image the data phase can carry (65 535 bytes).
constexpr std::size_t kImageRoom = 65536;

// The operator of one line among several: progress goes to the view's row,
// the closing box is kept for the report.
class LineOperator final : public Operator {
 public:
  LineOperator(FleetView& view, std::size_t row) : view_(view), row_(row) {}
  void errorBox(const char* text) override { box = text; }
  void infoBox(const char* text) override { box = text; }
  void enableControls(bool) override {}
  void progressRange(std::uint16_t maximum) override { view_.setTotal(row_, maximum); }
  void progressPosition(std::int32_t position) override { view_.setBytes(row_, position); }
  std::string box;

 private:
  FleetView& view_;
  std::size_t row_;
};

// Holds the first sends of every line until all lines have opened their
// adapters (or a short while has passed): lines that start together stay in
// step on the shared timing thread, and one wake-up serves them all.
class StartGate {
 public:
  explicit StartGate(std::size_t lines) : waiting_(lines) {}
  void arrive(bool wait) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (waiting_ > 0 && --waiting_ == 0) all_.notify_all();
    if (wait) all_.wait_for(lock, std::chrono::milliseconds(500), [this] { return waiting_ == 0; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable all_;
  std::size_t waiting_;
};

// A line while it runs.
struct Running {
  const LineTarget& target;
  Adapter& adapterMade;
  std::size_t row = 0;
  std::string capturePath;
  std::unique_ptr<LabelledLog> log;
  std::vector<UploadEntry> entries;
};

struct Fleet {
  const Options& options;
  const ReleaseProfile& profile;
  FleetView& view;
  LineScheduler& shared;
  StartGate& gate;
};

// "line.pcap" for line 2: "line-2.pcap".
std::string numberedPath(const std::string& path, std::size_t number) {
  const std::size_t slash = path.find_last_of("/\\");
  const std::size_t dot = path.rfind('.');
  const bool extension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  const std::string suffix = "-" + std::to_string(number);
  return extension ? path.substr(0, dot) + suffix + path.substr(dot) : path + suffix;
}

std::string firstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

// What the virtual device at each address says of the image the line sent.
std::string deviceVerdicts(const std::vector<std::unique_ptr<vdev::VirtualDevice>>& devices,
                           const std::vector<std::uint8_t>& image, bool& intact) {
  intact = true;
  std::string text;
  for (const auto& d : devices) {
    const vdev::Verdict v = vdev::compare(*d, image);
    if (v.match) continue;
    intact = false;
    text += (text.empty() ? "" : "; ") + std::string("device at ") + std::to_string(d->address()) +
            ": " +
            (!v.started ? "no reset arrived"
                        : "MISMATCH" + (v.firstMismatch >= 0
                                            ? " at byte " + std::to_string(v.firstMismatch)
                                            : std::string()));
    if (!v.missing.empty()) text += ", missing frames " + vdev::ranges(v.missing, 3);
  }
  return intact ? "verified by the virtual device" + std::string(devices.size() > 1 ? "s" : "")
                : text;
}

// One upload on the line: to `addresses` (several only when the resets reach every device).
UploadEntry uploadOnce(Fleet& fleet, Running& fl, Adapter& adapter,
                       const std::vector<int>& addresses, bool first) {
  const Options& o = fleet.options;
  UploadEntry entry;
  entry.line = fl.target.label;
  entry.addresses = addresses;
  entry.capture = fl.capturePath;

  auto buffer = std::make_unique<std::uint8_t[]>(kImageRoom);
  auto line = std::make_unique<Line>();
  lineUseProfile(*line, fleet.profile, buffer.get(), kImageRoom);
  std::snprintf(line->szFile, sizeof line->szFile, "%s", o.file.c_str());
  line->checked = o.fast;
  line->address = static_cast<std::uint16_t>(addresses.front());
  const std::string& serial = !fl.target.serial.empty() ? fl.target.serial : o.serial;
  line->wantedSerial = serial.empty() ? nullptr : serial.c_str();
  line->adapter = &adapter;
  LineOperator op(fleet.view, fl.row);
  line->op = &op;
  line->log = fl.log.get();

  // The simulated line carries a virtual device at each address it uploads to.
  std::vector<std::unique_ptr<vdev::VirtualDevice>> devices;
  auto* sim = dynamic_cast<sim::SimAdapter*>(&fl.adapterMade);
  if (sim != nullptr) {
    const int fixed = sim->settings().deviceAddress;
    for (int a : fixed != 0 ? std::vector<int>{fixed} : addresses)
      devices.push_back(std::make_unique<vdev::VirtualDevice>(static_cast<std::uint16_t>(a)));
    sim->setLineSink([&devices](const std::uint8_t* bytes, std::size_t n, std::int64_t) {
      for (auto& d : devices) d->receive(bytes, n);
    });
  }

  fleet.view.setAddress(fl.row, addressListText(addresses));
  fleet.view.setState(fl.row, "opening");
  const auto began = std::chrono::steady_clock::now();
  int result = uploadRefused;
  {
    WatchedLine watch(*line);
    unsigned pace = 0;
    const bool started = uploadStart(*line, result, pace);
    if (first) fleet.gate.arrive(started);
    if (started) {
      fleet.view.setState(fl.row, "sending");
      LinePhase phase(*line, pace);
      if (adapter.callsMayBlock()) {
        LineScheduler own(realClock());  // a thread of its own: it may block
        own.run(phase);
      } else {
        fleet.shared.run(phase);
      }
      result = uploadFinish(*line, phase.outcome());
    }
  }
  if (sim != nullptr) sim->setLineSink(nullptr);
  entry.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  entry.bytes = line->deliveredBytes;
  entry.total = line->fw_size;

  const std::string why = adapter.lastError();
  switch (result) {
    case uploadDone:
      entry.result = "done";
      break;
    case uploadStopped:
      entry.result = "stopped";
      entry.reason = "interrupted at byte " + std::to_string(entry.bytes) + " of " +
                     std::to_string(entry.total);
      break;
    case uploadLinkFailed:
      entry.result = "failed";
      entry.reason = firstLine(op.box) + (why.empty() ? "" : ": " + why);
      break;
    default:
      entry.result = "refused";
      entry.reason = firstLine(op.box);
      break;
  }
  if (sim != nullptr && (result == uploadDone || line->sendsTried > 0)) {
    bool intact = false;
    const std::string verdicts =
        deviceVerdicts(devices, {line->fw_data, line->fw_data + line->fw_size}, intact);
    if (result == uploadDone) {
      entry.reason = verdicts;
      if (!intact) entry.result = "not verified";
    }
  }
  fleet.view.setState(fl.row, entry.result);
  return entry;
}

void runLine(Fleet& fleet, Running& fl) {
  const Options& o = fleet.options;
  // The resets of v1.2 go to every device: one upload reaches every fixture
  // of the model on the line, whatever the list. Otherwise one upload per
  // address, one after another, each whole.
  std::vector<std::vector<int>> uploads;
  if (fleet.profile.resetAddressMode == ResetAddressMode::broadcast)
    uploads.push_back(o.addresses);
  else
    for (int a : o.addresses) uploads.push_back({a});

  CaptureWriter capture;
  std::unique_ptr<CaptureTap> tap;
  Adapter* adapter = &fl.adapterMade;
  std::string captureError;
  if (!fl.capturePath.empty()) {
    if (capture.open(fl.capturePath, captureError)) {
      tap = std::make_unique<CaptureTap>(fl.adapterMade, capture);
      adapter = tap.get();
    }
  }
  bool first = true;
  for (const std::vector<int>& addresses : uploads) {
    if (!captureError.empty()) {
      if (first) fleet.gate.arrive(false);
      fl.entries.push_back({fl.target.label, addresses, "refused", 0, 0, 0,
                            "capture: " + captureError, fl.capturePath});
      break;
    }
    fl.entries.push_back(uploadOnce(fleet, fl, *adapter, addresses, first));
    first = false;
    if (fl.entries.back().result != "done") break;
  }
  capture.close();
  if (capture.failed() && !fl.entries.empty())
    fl.entries.back().reason += "; capture incomplete: " + capture.error();
  // A line that stopped leaves its other addresses alone.
  for (std::size_t i = fl.entries.size(); i < uploads.size(); ++i)
    fl.entries.push_back({fl.target.label, uploads[i], "skipped", 0, 0, 0,
                          "not tried after the upload before it ended " + fl.entries.back().result,
                          fl.capturePath});
}

int exitStatusOf(const std::vector<UploadEntry>& uploads) {
  bool stopped = false, failed = false, unverified = false, allRefused = true;
  for (const UploadEntry& u : uploads) {
    stopped = stopped || u.result == "stopped";
    failed = failed || u.result == "failed" || u.result == "refused" || u.result == "skipped";
    unverified = unverified || u.result == "not verified";
    allRefused = allRefused && u.result == "refused";
  }
  if (stopped) return exitInterrupted;
  if (allRefused && !uploads.empty()) return exitFileRefused;
  if (failed) return exitLineFailed;
  if (unverified) return exitNotIntact;
  return exitDone;
}

}  // namespace

FleetSummary runLines(const Options& o, std::vector<FleetLine>& lines, LogSink* log) {
  const ReleaseProfile& profile = *findProfile(o.profile.c_str());
  const bool everyDevice = profile.resetAddressMode == ResetAddressMode::broadcast;
  if (everyDevice && o.addresses.size() > 1 && !o.quiet)
    std::fprintf(stderr,
                 "note: profile %s resets every device on a line: one upload per line reaches "
                 "every fixture of the model on it; the addresses %s only name them in the "
                 "report\n",
                 profile.id, addressListText(o.addresses).c_str());

  // The engine's log, labelled per line: on standard output (standard error
  // with --json), at once unless the live view draws on the same terminal.
  std::FILE* logOut = o.json ? stderr : stdout;
  StreamLog stream(logOut);
  LogSink& sink = log != nullptr ? *log : stream;
  const bool viewOnTerminal = !o.quiet && isTerminal(stderr);
  const bool keepLogs = viewOnTerminal && isTerminal(logOut);
  std::mutex outLock;
  FleetView view(stderr, viewOnTerminal, o.quiet);
  std::deque<Running> running;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    running.push_back({lines[i].target, *lines[i].adapter, 0, "", nullptr, {}});
    Running& r = running.back();
    r.row = view.addRow(r.target.label);
    r.log = std::make_unique<LabelledLog>(r.target.label, keepLogs ? nullptr : &sink, outLock);
    if (!o.capture.empty())
      r.capturePath = lines.size() > 1 ? numberedPath(o.capture, i + 1) : o.capture;
    if (auto* sim = dynamic_cast<sim::SimAdapter*>(&r.adapterMade))
      sim->settings().keepRecord = false;
  }

  {
    LineScheduler shared(realClock());
    StartGate gate(running.size());
    Fleet fleet{o, profile, view, shared, gate};
    view.start();
    std::vector<std::thread> threads;
    for (Running& r : running) threads.emplace_back([&fleet, &r] { runLine(fleet, r); });
    for (std::thread& t : threads) t.join();
    view.stop();
  }
  for (const Running& r : running)
    if (!r.log->kept().empty()) sink.write(r.log->kept().c_str());

  FleetSummary summary;
  summary.file = o.file;
  summary.profile = profile.id;
  summary.fast = o.fast;
  summary.resetsToEveryDevice = everyDevice;
  for (Running& r : running)
    summary.uploads.insert(summary.uploads.end(), r.entries.begin(), r.entries.end());
  summary.exitStatus = exitStatusOf(summary.uploads);
  return summary;
}

namespace {

// The exit status an upload of the report stands for, for the record.
int entryStatus(const UploadEntry& u) {
  if (u.result == "done") return exitDone;
  if (u.result == "not verified") return exitNotIntact;
  if (u.result == "refused") return exitFileRefused;
  if (u.result == "stopped") return exitInterrupted;
  return exitLineFailed;
}

}  // namespace

bool makeFleetLines(const Options& o, const std::vector<LineTarget>& targets,
                    std::vector<FleetLine>& lines) {
  if (!o.serial.empty() && targets.size() > 1) {
    std::fputs(
        "error: --serial names one adapter; with several lines name each as ftdi:SERIAL or "
        "d2xx:SERIAL\n",
        stderr);
    return false;
  }
  for (const LineTarget& target : targets) {
    Options one = o;
    one.adapterName = target.adapter;
    std::string error;
    std::unique_ptr<Adapter> adapter = chooseAdapter(one, error);
    if (adapter == nullptr) {
      printError(stderr, (target.label + ": " + error).c_str());
      return false;
    }
    lines.push_back({target, std::move(adapter)});
  }
  return true;
}

int runFleet(const Options& o, std::vector<FleetLine>& lines, RecordLog& record,
             const ImageFacts& image) {
  FleetSummary summary = runLines(o, lines, &record);
  summary.sha256 = image.sha256;
  for (const UploadEntry& u : summary.uploads) {
    std::string fields = "file=" + files::quoted(o.file);
    if (image.read) fields += " size=" + std::to_string(image.size) + " sha256=" + image.sha256;
    fields += " line=" + files::shown(u.line) + " address=" + addressListText(u.addresses) +
              " profile=" + o.profile;
    record.note(resultLine(fields, entryStatus(u)));
  }
  if (o.json) {
    std::fputs(fleetJson(summary).c_str(), stdout);
    std::fflush(stdout);
  } else if (!o.quiet || summary.exitStatus != exitDone) {
    const std::size_t columns = isTerminal(stderr) ? terminalColumns(stderr) : 0;
    printFleetTable(stderr, summary, columns != 0 ? static_cast<int>(columns) : 200);
  }
  if (summary.exitStatus == exitInterrupted)
    std::fputs(
        "interrupted: every line stopped after its send in progress; run the same command "
        "again to upload anew (every upload starts with a fresh reset burst)\n",
        stderr);
  return summary.exitStatus;
}
