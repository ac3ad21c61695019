#include "session/session.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <map>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>

#include "device/verdict.h"
#include "device/virtual_device.h"
#include "engine/line.h"
#include "engine/line_phase.h"
#include "engine/line_scheduler.h"
#include "engine/log.h"
#include "engine/node_spacing.h"
#include "engine/program.h"
#include "files/shown_text.h"
#include "session/capture_spool.h"
#include "session/capture_tap.h"
#include "session/event_queue.h"
#include "session/line_lock.h"
#include "session/stop_requests.h"

namespace {

// Room for every image the data phase can carry (65 535 bytes).
constexpr std::size_t kImageRoom = 65536;

// The operator of one line: what the engine shows a person becomes events.
class LineOperator final : public Operator {
 public:
  LineOperator(EventQueue& events, std::size_t line) : events_(events), line_(line) {}
  void errorBox(const char* text) override { show(text, true); }
  void infoBox(const char* text) override { show(text, false); }
  void enableControls(bool) override {}
  void progressRange(std::uint16_t maximum) override { events_.progressRange(line_, maximum); }
  void progressPosition(std::int32_t position) override {
    // While the line sends, progress comes from the timing thread: only stored there.
    if (sending)
      events_.progressLive(line_, position);
    else
      events_.progress(line_, position);
  }

  bool sending = false;
  std::string box;
  bool boxIsError = false;

 private:
  void show(const char* text, bool error) {
    box = text;
    boxIsError = error;
    events_.closingBox(line_, text, error);
  }

  EventQueue& events_;
  std::size_t line_;
};

// The engine's log of one line, queued for the observer.
class QueuedLog final : public LogSink {
 public:
  QueuedLog(EventQueue& events, std::size_t line) : events_(events), line_(line) {}
  void write(const char* text) override { events_.logLine(line_, text); }

 private:
  EventQueue& events_;
  std::size_t line_;
};

// Holds the first sends of every line until all lines have opened their
// adapters (or a short while has passed): lines that start together share
// the timing thread's groups from their first frame.
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

// How many lines send to each network node, counted as they open: a line
// looks up its node's count once every line has opened.
class NodeCounts {
 public:
  void add(std::uint32_t node) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++lines_[node];
  }
  std::size_t of(std::uint32_t node) {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_[node];
  }

 private:
  std::mutex mutex_;
  std::map<std::uint32_t, std::size_t> lines_;
};

std::string dottedQuad(std::uint32_t a) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) {
    if (shift != 24) text += '.';
    text += std::to_string((a >> shift) & 0xFF);
  }
  return text;
}

// When the lines of a node cannot all send within one pause with the gap
// between their packets, each line's sends come further apart: said once
// in the line's log, before its first send.
void logNodeStretch(LogSink& log, std::uint32_t node, std::size_t lines, std::int64_t gap,
                    unsigned shortestPause, unsigned dataPace) {
  const std::int64_t round = static_cast<std::int64_t>(lines) * gap;
  if (round <= std::int64_t{shortestPause} * 1000) return;
  const double data = nodeStretch(lines, gap, std::int64_t{dataPace} * 1000);
  std::string longer = "the reset burst takes a little longer";
  if (data > 1) {
    longer = "the data phase takes about ";
    longer += std::to_string(static_cast<int>((data - 1) * 100 + 0.5));
    longer += " % longer";
  }
  logLine(log,
          "Node %s takes %llu lines with packets %lld microseconds apart: a round of them takes "
          "%.1f ms, more than the %u ms pause; %s\n",
          dottedQuad(node).c_str(), static_cast<unsigned long long>(lines),
          static_cast<long long>(gap), static_cast<double>(round) / 1000.0, shortestPause,
          longer.c_str());
}

std::string firstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

// What the virtual devices say of the image the line sent: the reason for
// the report, and whether every one holds it intact.
std::string deviceVerdicts(const std::vector<std::unique_ptr<vdev::VirtualDevice>>& devices,
                           const std::vector<std::uint8_t>& image, bool& intact,
                           std::string& reports) {
  intact = true;
  std::string text;
  for (const auto& d : devices) {
    const vdev::Verdict v = vdev::compare(*d, image);
    reports += vdev::report(*d, &v);
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

double secondsSince(std::int64_t micros) {
  return static_cast<double>(realClock().nowMicros() - micros) / 1e6;
}

}  // namespace

bool resetsReachEveryDevice(const ReleaseProfile& profile) {
  return profile.resetAddressMode == ResetAddressMode::broadcast;
}

std::string numberedPath(const std::string& path, std::size_t number) {
  const std::size_t slash = path.find_last_of("/\\");
  const std::size_t dot = path.rfind('.');
  const bool extension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  // Appended piece by piece: GCC 12's -Wrestrict misreads "literal" + string at -O3.
  std::string suffix("-");
  suffix.append(std::to_string(number));
  return extension ? path.substr(0, dot) + suffix + path.substr(dot) : path + suffix;
}

// A line while it runs.
struct UploadSession::Running {
  std::size_t index = 0;
  const LineTarget* target = nullptr;
  Adapter* adapterMade = nullptr;
  std::string capturePath;
  std::vector<UploadReport> results;
  Line* current = nullptr;  // the upload in progress, for stop(); under runningMutex_
};

UploadReport UploadSession::reportOf(const Running& fl, const std::vector<int>& addresses,
                                     Outcome outcome, const std::string& reason) {
  UploadReport r;
  r.line = fl.index;
  r.label = fl.target->label;
  r.addresses = addresses;
  r.outcome = outcome;
  r.reason = reason;
  r.capture = fl.capturePath;
  return r;
}

struct UploadSession::Shared {
  EventQueue& events;
  LineScheduler& timing;
  StartGate& gate;
  CaptureSpool& spool;
  NodeCounts& nodes;
};

UploadSession::UploadSession(const UploadPlan& plan, std::vector<SessionLine>& lines,
                             SessionObserver& observer)
    : plan_(plan), lines_(lines), observer_(observer) {}

UploadReport UploadSession::uploadOnce(Shared& shared, Running& fl, Adapter& adapter,
                                       const std::vector<int>& addresses, bool first) {
  UploadReport entry = reportOf(fl, addresses, Outcome::refused, "");

  const ImageBytes& image = *plan_.image;
  auto buffer = std::make_unique<std::uint8_t[]>(kImageRoom);
  auto line = std::make_unique<Line>();
  lineUseProfile(*line, *plan_.profile, buffer.get(), kImageRoom);
  // The bytes are given: the engine names the file only in its log and its
  // closing text, so it gets the name as every terminal and record shows it.
  std::snprintf(line->szFile, sizeof line->szFile, "%s", files::shown(image.name).c_str());
  line->imageGiven = true;
  line->givenImage = image.bytes.data();
  line->givenSize = image.tooLarge ? image.fileSize : image.bytes.size();
  line->checked = plan_.fast;
  line->address = static_cast<std::uint16_t>(addresses.front());
  const std::string& serial = fl.target->serial;
  line->wantedSerial = serial.empty() ? nullptr : serial.c_str();
  line->adapter = &adapter;
  line->verbose = plan_.verbose;
  LineOperator op(shared.events, fl.index);
  QueuedLog log(shared.events, fl.index);
  line->op = &op;
  line->log = &log;

  // The simulated line carries a virtual device at each address it uploads to.
  std::vector<std::unique_ptr<vdev::VirtualDevice>> devices;
  SimulatedLine* simulated = fl.adapterMade->simulatedLine();
  if (simulated != nullptr) {
    const int fixed = simulated->deviceAddress();
    for (int a : fixed != 0 ? std::vector<int>{fixed} : addresses)
      devices.push_back(std::make_unique<vdev::VirtualDevice>(static_cast<std::uint16_t>(a)));
    simulated->watch([&devices](const std::uint8_t* bytes, std::size_t n) {
      for (auto& d : devices) d->receive(bytes, n);
    });
  }

  shared.events.lineState(fl.index, LineState::opening, addresses);
  // Written before the first frame, on this line's thread: an upload cut
  // off by a crash stays unfinished in the records.
  if (plan_.records != nullptr) entry.record = plan_.records->uploadStarted(*fl.target, addresses);
  const std::int64_t began = realClock().nowMicros();
  int result = uploadRefused;
  {
    WatchedLine watch(*line);
    {
      std::lock_guard<std::mutex> lock(runningMutex_);
      fl.current = line.get();
      if (stopping_.load()) line->stopRequested.store(true);
    }
    unsigned pace = 0;
    const bool started = uploadStart(*line, result, pace);
    const std::optional<std::uint32_t> node =
        started && plan_.nodeGapMicros > 0 ? adapter.nodeAddress() : std::nullopt;
    if (first && node) shared.nodes.add(*node);
    if (first) shared.gate.arrive(started);
    if (started) {
      shared.events.lineState(fl.index, LineState::sending, addresses);
      op.sending = true;
      LinePhase phase(*line, pace);
      if (node)
        logNodeStretch(log, *node, shared.nodes.of(*node), plan_.nodeGapMicros,
                       phase.shortestPause(), pace);
      if (adapter.callsMayBlock()) {
        LineScheduler own(lineClock(*line));  // a thread of its own: it may block
        own.run(phase);
      } else {
        shared.timing.run(phase, node);
      }
      op.sending = false;
      shared.events.lineState(fl.index, LineState::closing, addresses);
      result = uploadFinish(*line, phase.outcome());
    }
    std::lock_guard<std::mutex> lock(runningMutex_);
    fl.current = nullptr;
  }
  if (simulated != nullptr) simulated->watch(nullptr);
  entry.seconds = secondsSince(began);
  entry.bytes = line->deliveredBytes;
  entry.frames = line->sendsTried;
  entry.total = line->fw_size;
  entry.closing = op.box;
  entry.closingIsError = op.boxIsError;

  const std::string why = adapter.lastError();
  switch (result) {
    case uploadDone:
      entry.outcome = Outcome::done;
      break;
    case uploadStopped:
      entry.outcome = Outcome::stopped;
      entry.reason = "interrupted at byte " + std::to_string(entry.bytes) + " of " +
                     std::to_string(entry.total);
      break;
    case uploadLinkFailed:
      // A stop that came while the adapter was being opened (a node's poll
      // waits up to 3 s for its answer) ended the upload, whatever the
      // opening then said.
      if (line->stopRequested.load() && line->sendsTried == 0) {
        entry.outcome = Outcome::stopped;
        entry.reason = "interrupted while opening the adapter" + (why.empty() ? "" : ": " + why);
        break;
      }
      entry.outcome = Outcome::failed;
      entry.reason = firstLine(op.box) + (why.empty() ? "" : ": " + why);
      break;
    default:
      entry.outcome = Outcome::refused;
      entry.reason = firstLine(op.box);
      break;
  }
  if (simulated != nullptr && (result == uploadDone || line->sendsTried > 0)) {
    bool intact = false;
    const std::vector<std::uint8_t> sent(line->fw_data, line->fw_data + line->fw_size);
    const std::string verdicts = deviceVerdicts(devices, sent, intact, entry.deviceReport);
    entry.deviceChecked = true;
    if (result == uploadDone) {
      entry.reason = verdicts;
      if (!intact) entry.outcome = Outcome::notVerified;
    }
  }
  if (plan_.records != nullptr) plan_.records->uploadEnded(entry.record, entry);
  shared.events.lineState(fl.index, LineState::ended, addresses);
  return entry;
}

void UploadSession::runLine(Shared& shared, Running& fl) {
  // The resets of v1.2 go to every device: one upload reaches every fixture
  // of the model on the line, whatever the list. Otherwise one upload per
  // address, one after another, each whole.
  std::vector<std::vector<int>> uploads;
  if (resetsReachEveryDevice(*plan_.profile))
    uploads.push_back(plan_.addresses);
  else
    for (int a : plan_.addresses) uploads.push_back({a});

  // A USB or serial adapter is opened by one upload at a time, whichever
  // process runs it (the command line, the console): the second is refused.
  LineLock lineLock;
  std::string lineBusy;
  if (fl.adapterMade->simulatedLine() == nullptr && fl.adapterMade->callsMayBlock())
    lineLock.take(lineLockFolder(), lineLockKey(*fl.target), lineBusy);

  CaptureWriter capture;
  std::unique_ptr<CaptureTap> tap;
  Adapter* adapter = fl.adapterMade;
  std::string captureError;
  if (lineBusy.empty() && !fl.capturePath.empty() && capture.open(fl.capturePath, captureError)) {
    shared.spool.join(capture);
    tap = std::make_unique<CaptureTap>(*fl.adapterMade, capture);
    adapter = tap.get();
  }
  bool first = true;
  for (const std::vector<int>& addresses : uploads) {
    if (!lineBusy.empty()) {
      if (first) shared.gate.arrive(false);
      UploadReport refused = reportOf(fl, addresses, Outcome::refused, lineBusy);
      refused.closing = lineBusy;
      refused.closingIsError = true;
      shared.events.closingBox(fl.index, lineBusy, true);
      fl.results.push_back(refused);
      break;
    }
    if (!captureError.empty()) {
      if (first) shared.gate.arrive(false);
      // A stop while waiting for a FIFO's reader: nothing sent, and stopped.
      UploadReport refused =
          reportOf(fl, addresses, capture.stoppedOpening() ? Outcome::stopped : Outcome::refused,
                   "capture: " + captureError);
      refused.closing = captureError;
      refused.closingIsError = true;
      shared.events.closingBox(fl.index, captureError, true);
      record(fl, refused);
      fl.results.push_back(refused);
      break;
    }
    try {
      fl.results.push_back(uploadOnce(shared, fl, *adapter, addresses, first));
    } catch (const std::bad_alloc&) {
      if (first) shared.gate.arrive(false);
      shared.events.lineState(fl.index, LineState::ended, addresses);
      fl.results.push_back(
          reportOf(fl, addresses, Outcome::failed,
                   "out of memory for the line's upload; run fewer lines at once"));
    }
    first = false;
    if (fl.results.back().outcome != Outcome::done) break;
    // Told at once, unless the capture's close may still add to it.
    if (fl.results.size() < uploads.size()) shared.events.result(fl.results.back());
  }
  const std::size_t told = fl.results.empty() ? 0 : fl.results.size() - 1;
  if (tap != nullptr) shared.spool.leave(capture);
  capture.close();
  if (capture.failed() && !fl.results.empty()) {
    fl.results.back().captureLost = capture.error();
    fl.results.back().reason += "; capture incomplete: " + capture.error();
  }
  // A line that stopped leaves its other addresses alone.
  for (std::size_t i = fl.results.size(); i < uploads.size(); ++i) {
    UploadReport skipped = reportOf(fl, uploads[i], Outcome::skipped,
                                    "not tried after the upload before it ended " +
                                        std::string(outcomeWord(fl.results.back().outcome)));
    record(fl, skipped);
    fl.results.push_back(skipped);
  }
  for (std::size_t i = told; i < fl.results.size(); ++i) shared.events.result(fl.results[i]);
}

void UploadSession::notStarted(Shared& shared, Running& fl, const std::string& why) {
  shared.gate.arrive(false);
  const std::vector<int> addresses = resetsReachEveryDevice(*plan_.profile)
                                         ? plan_.addresses
                                         : std::vector<int>{plan_.addresses.front()};
  fl.results.push_back(reportOf(fl, addresses, Outcome::failed, why));
  record(fl, fl.results.back());
  shared.events.result(fl.results.back());
}

void UploadSession::record(const Running& fl, UploadReport& report) {
  if (plan_.records != nullptr) report.record = plan_.records->uploadNotRun(*fl.target, report);
}

std::vector<UploadReport> UploadSession::run() {
  EventQueue events(observer_, lines_.size());
  std::deque<Running> running;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    Running& r = running.emplace_back();
    r.index = i;
    r.target = &lines_[i].target;
    r.adapterMade = lines_[i].adapter.get();
    if (!plan_.capture.empty())
      r.capturePath = lines_.size() > 1 ? numberedPath(plan_.capture, i + 1) : plan_.capture;
    // The simulated adapter's record grows with every call: no use here.
    if (SimulatedLine* s = r.adapterMade->simulatedLine()) s->keepNoRecord();
  }
  {
    std::lock_guard<std::mutex> lock(runningMutex_);
    running_ = &running;
  }
  // A stop request (Ctrl-C, a signal) reaches the lines from here.
  std::mutex watchMutex;
  std::condition_variable watchWake;
  bool over = false;
  std::thread watcher([&] {
    std::unique_lock<std::mutex> lock(watchMutex);
    while (!over) {
      if (stopRequested()) {
        stop();
        break;
      }
      watchWake.wait_for(lock, std::chrono::milliseconds(20));
    }
  });
  {
    CaptureSpool spool;
    LineScheduler timing(realClock());
    timing.spaceNodes(plan_.nodeGapMicros);
    StartGate gate(running.size());
    NodeCounts nodes;
    Shared shared{events, timing, gate, spool, nodes};
    std::vector<std::thread> threads;
    for (Running& r : running) {
      try {
        threads.emplace_back([this, &shared, &r] {
          try {
            runLine(shared, r);
          } catch (const std::exception& e) {
            // Out of memory, or a thread the line needed: this line fails alone.
            try {
              if (r.results.empty())
                notStarted(shared, r,
                           std::string("the line could not go on (") + e.what() +
                               "); run fewer lines at once");
            } catch (const std::exception&) {
              // Not even its report could be made; the other lines still end.
            }
          }
        });
      } catch (const std::system_error& e) {
        // The system has no thread to spare: this line fails alone.
        notStarted(shared, r,
                   std::string("no thread could be started for the line (") + e.what() +
                       "); run fewer lines at once");
      }
    }
    for (std::thread& t : threads) t.join();
  }
  {
    std::lock_guard<std::mutex> lock(watchMutex);
    over = true;
  }
  watchWake.notify_one();
  watcher.join();
  {
    std::lock_guard<std::mutex> lock(runningMutex_);
    running_ = nullptr;
  }
  events.finish();
  std::vector<UploadReport> results;
  for (Running& r : running) results.insert(results.end(), r.results.begin(), r.results.end());
  return results;
}

void UploadSession::stop() {
  stopping_.store(true);
  std::lock_guard<std::mutex> lock(runningMutex_);
  if (running_ == nullptr) return;
  for (Running& r : *running_)
    if (r.current != nullptr) r.current->stopRequested.store(true);
}
