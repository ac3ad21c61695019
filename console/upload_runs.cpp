#include "console/upload_runs.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <nlohmann/json.hpp>
#include <thread>

#include "console/progress_pace.h"
#include "profiles/profiles.h"
#include "session/adapter_choice.h"
#include "session/address_list.h"
#include "session/exit_codes.h"
#include "session/image.h"
#include "session/line_targets.h"
#include "session/read_back_lines.h"
#include "session/report_json.h"
#include "session/service_records.h"
#include "session/session.h"

using Json = nlohmann::ordered_json;

namespace {

// A page gets at most this many progress events a second for a line.
constexpr std::int64_t kProgressEveryMs = 100;

std::int64_t nowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Names from a browser or a node may hold any byte: what is no UTF-8 is replaced.
std::string text(const Json& j) { return j.dump(-1, ' ', false, Json::error_handler_t::replace); }

Json resultJson(const UploadReport& r) {
  return {{"addresses", r.addresses}, {"result", outcomeWord(r.outcome)},
          {"reason", r.reason},       {"bytes", r.bytes},
          {"total", r.total},         {"seconds", r.seconds}};
}

// A line's read-back as the console shows it: each text a log line of that line.
class ReadBackNotes final : public ReadBackObserver {
 public:
  explicit ReadBackNotes(std::function<void(const std::string&)> say) : say_(std::move(say)) {}
  void reading(const std::string& text) override { say_(text); }
  void notice(const std::string& text) override { say_(text); }
  void problem(const std::string& text) override { say_("error: " + text); }

 private:
  std::function<void(const std::string&)> say_;
};

}  // namespace

// One upload: its session, its lines as they stand, and the observer that
// turns the session's events into the console's.
struct UploadRuns::Run final : SessionObserver {
  struct Row {
    std::string label;
    LineState state = LineState::waiting;
    std::vector<int> addresses;
    std::int32_t bytes = 0;
    std::int32_t total = 0;
    std::vector<UploadReport> results;
  };

  Run(std::uint64_t number, EventLog& log) : id(number), events(log) {}
  ~Run() override {
    if (thread.joinable()) thread.join();
  }

  // Publishes under the run's lock, so that a state read under it and the
  // newest event number agree.
  void publish(const char* type, Json data) {
    data["upload"] = id;
    events.publish(type, text(data));
  }

  void publishProgress(std::size_t line) {
    Row& row = rows[line];
    pace.shown(line, nowMs());
    publish("progress", {{"line", line}, {"bytes", row.bytes}, {"total", row.total}});
  }

  void lineState(std::size_t line, LineState state, const std::vector<int>& addresses) override {
    std::lock_guard<std::mutex> lock(mutex);
    Row& row = rows[line];
    if (pace.held(line)) publishProgress(line);
    row.state = state;
    row.addresses = addresses;
    publish("line", {{"line", line}, {"state", stateWord(state)}, {"addresses", addresses}});
  }
  void progressRange(std::size_t line, std::int32_t total) override {
    std::lock_guard<std::mutex> lock(mutex);
    rows[line].total = total;
  }
  void progress(std::size_t line, std::int32_t bytes) override {
    std::lock_guard<std::mutex> lock(mutex);
    rows[line].bytes = bytes;
    if (pace.arrived(line, nowMs())) publishProgress(line);
  }
  void logLine(std::size_t line, const std::string& text) override {
    std::lock_guard<std::mutex> lock(mutex);
    publish("log", {{"line", line}, {"text", text}});
  }
  void result(const UploadReport& r) override {
    std::lock_guard<std::mutex> lock(mutex);
    Row& row = rows[r.line];
    if (pace.held(r.line)) publishProgress(r.line);
    row.results.push_back(r);
    Json data = resultJson(r);
    data["line"] = r.line;
    publish("result", data);
  }

  // Reads every line's fixtures back, before or after the upload, each
  // line's texts in its log; the exit status that comes to.
  int readAll(bool after) {
    std::vector<std::unique_ptr<ReadBackNotes>> notes;
    for (std::size_t i = 0; i < readBack.size(); ++i)
      notes.push_back(
          std::make_unique<ReadBackNotes>([this, i](const std::string& t) { logLine(i, t); }));
    const LineObservers observers = [&](std::size_t i) -> ReadBackObserver& { return *notes[i]; };
    if (after)
      readBackLinesAfter(readBack, observers);
    else
      readBackLinesBefore(readBack, observers);
    return readBackExit(readBack);
  }

  Json stateJson() const {
    Json lines = Json::array();
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const Row& row = rows[i];
      Json results = Json::array();
      for (const UploadReport& r : row.results) results.push_back(resultJson(r));
      lines.push_back({{"line", i},
                       {"label", row.label},
                       {"state", stateWord(row.state)},
                       {"addresses", row.addresses},
                       {"bytes", row.bytes},
                       {"total", row.total},
                       {"results", results}});
    }
    return {{"id", id},
            {"file", summary.file},
            {"size", size},
            {"sha256", summary.sha256},
            {"profile", summary.profile},
            {"fast", summary.fast},
            {"state", ended ? "ended" : "running"},
            {"exitStatus", ended ? Json(summary.exitStatus) : Json(nullptr)},
            {"lines", lines}};
  }

  std::uint64_t id;
  EventLog& events;
  std::mutex mutex;  // rows, summary, ended
  std::vector<Row> rows;
  ProgressPace pace{0, kProgressEveryMs};  // made again with the rows
  FleetSummary summary;
  std::size_t size = 0;
  bool ended = false;
  std::vector<SessionLine> lines;
  RecordsOpening recordsOpened;             // the service records, at their default place
  std::unique_ptr<ServiceRecords> records;  // null: none kept
  std::unique_ptr<UploadSession> session;
  std::thread thread;
  // read_back=1: each line's fixtures over RDM before and after the upload.
  std::vector<LineReadBack> readBack;
  std::atomic<bool> stopAsked{false};  // the page's Stop, for the read-back's waits
};

UploadRuns::UploadRuns(EventLog& events) : events_(events) {}

UploadRuns::~UploadRuns() { stopAll(); }

UploadAnswer UploadRuns::start(UploadRequest request) {
  const auto refuse = [](int status, std::string why) {
    UploadAnswer a;
    a.status = status;
    a.error = std::move(why);
    return a;
  };
  if (!request.imageGiven) return refuse(400, "image: choose the image file to upload");
  if (request.adapters.empty())
    return refuse(400,
                  "adapter: name at least one line (sim, sim:4, ftdi:all, artnet:HOST:1, ...)");
  const ReleaseProfile* profile = findProfile(request.profile.c_str());
  if (profile == nullptr)
    return refuse(400,
                  "profile: unknown profile \"" + request.profile + "\" (v1.2, v1.1 or early)");
  std::vector<int> addresses;
  std::string error;
  if (!parseAddressList(request.address, addresses, error)) return refuse(400, error);

  auto image = std::make_shared<ImageBytes>(imageOfBytes(
      request.fileName.empty() ? "image" : request.fileName, std::move(request.image)));
  if (image->tooLarge)
    return refuse(413, "image: " + std::to_string(image->fileSize) +
                           " bytes; the uploader sends at most " + std::to_string(kLargestImage));
  std::string refusal = imageRefusal(imageLooks(image->bytes), image->name);
  // The page has no --force: a file that is no raw image is only refused.
  const std::size_t force = refusal.find("\nor send it as it is with --force");
  if (force != std::string::npos) refusal.erase(force);
  if (!refusal.empty()) return refuse(400, refusal);

  std::vector<LineTarget> targets;
  if (lineTargets({request.adapters, "", {}}, targets, error) != LineProblem::none)
    return refuse(400, error);
  if (request.readBack)
    for (const LineTarget& t : targets) {
      RdmPort port;
      std::string why;
      if (!adapterRdmPort(t.adapter, port, why)) return refuse(400, "read_back: " + why);
    }
  auto run = std::make_unique<Run>(0, events_);
  for (const LineTarget& target : targets) {
    std::unique_ptr<Adapter> adapter = chooseAdapter({}, "", target.adapter, error);
    if (adapter == nullptr) return refuse(400, target.label + ": " + error);
    run->lines.push_back({target, std::move(adapter)});
    Run::Row row;
    row.label = target.label;
    row.addresses = addresses;
    row.total = static_cast<std::int32_t>(image->bytes.size());
    run->rows.push_back(row);
  }
  run->pace = ProgressPace(run->rows.size(), kProgressEveryMs);
  if (request.readBack)
    for (const LineTarget& t : targets) {
      LineReadBack l;
      l.label = t.label;
      l.request.adapter = t.adapter;
      l.request.profile = profile;
      l.request.addresses = addresses;
      l.request.stop = &run->stopAsked;
      run->readBack.push_back(std::move(l));
    }
  run->summary.file = image->name;
  run->summary.sha256 = image->sha256;
  run->summary.profile = profile->id;
  run->summary.fast = request.fast;
  run->summary.resetsToEveryDevice = resetsReachEveryDevice(*profile);
  run->size = image->bytes.size();

  UploadPlan plan;
  // Kept in the service records as the command line keeps its uploads; the
  // upload goes on unrecorded when they cannot be written.
  run->recordsOpened = openRecords("", records::Access::write);
  if (run->recordsOpened.store != nullptr) {
    run->records = std::make_unique<ServiceRecords>(*run->recordsOpened.store);
    run->records->setImage(*image, profile->id, request.fast);
    plan.records = run->records.get();
    for (LineReadBack& l : run->readBack) l.request.records = run->records.get();
  }
  plan.image = image;
  plan.profile = profile;
  plan.fast = request.fast;
  plan.addresses = addresses;

  std::lock_guard<std::mutex> lock(mutex_);
  if (closing_) return refuse(503, "the console is stopping; no upload starts now");
  for (const LineTarget& t : targets) {
    const auto busy = busy_.find(t.label);
    if (busy != busy_.end())
      return refuse(409, t.label + ": the line is already uploading (upload " +
                             std::to_string(busy->second) + "); stop it or wait for its end");
  }
  const std::uint64_t id = nextId_++;
  run->id = id;
  for (const LineTarget& t : targets) busy_[t.label] = id;
  Run& r = *run;
  r.session = std::make_unique<UploadSession>(plan, r.lines, r);
  {
    std::lock_guard<std::mutex> runLock(r.mutex);
    r.publish("upload", r.stateJson());
  }
  runs_[id] = std::move(run);
  try {
    r.thread = std::thread([this, &r] {
      // With read-back, nothing is sent unless every line's fixtures were read first.
      int readStatus = r.readBack.empty() ? exitDone : r.readAll(false);
      if (readStatus == exitDone && r.stopAsked) readStatus = exitInterrupted;
      std::vector<UploadReport> reports;
      if (readStatus == exitDone) reports = r.session->run();
      int status = readStatus != exitDone ? readStatus : exitForAll(reports);
      if (status == exitDone && !r.readBack.empty()) status = r.readAll(true);
      {
        std::lock_guard<std::mutex> runLock(r.mutex);
        r.summary.uploads = reports;
        r.summary.exitStatus = status;
        if (!r.readBack.empty()) r.summary.readBack = &r.readBack;
        if (readStatus != exitDone)
          r.summary.refusal = readStatus == exitInterrupted
                                  ? "stopped while reading the fixtures before the upload"
                                  : "the read-back before the upload did not find every line's "
                                    "fixtures (see the log); nothing was sent";
        r.ended = true;
        r.publish("upload", r.stateJson());
      }
      finished(r);
    });
  } catch (const std::system_error& e) {
    for (const LineTarget& t : targets) busy_.erase(t.label);
    runs_.erase(id);
    return refuse(503, std::string("no thread could be started for the upload (") + e.what() +
                           "); try again when the uploads running now have ended");
  }
  UploadAnswer answer;
  answer.id = id;
  return answer;
}

void UploadRuns::finished(Run& run) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto it = busy_.begin(); it != busy_.end();)
    it = it->second == run.id ? busy_.erase(it) : std::next(it);
}

bool UploadRuns::stop(std::uint64_t id) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = runs_.find(id);
  if (found == runs_.end()) return false;
  found->second->stopAsked = true;
  found->second->session->stop();
  return true;
}

std::string UploadRuns::report(std::uint64_t id) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = runs_.find(id);
  if (found == runs_.end()) return "";
  Run& run = *found->second;
  std::lock_guard<std::mutex> runLock(run.mutex);
  FleetSummary summary = run.summary;
  if (!run.ended)
    for (const Run::Row& row : run.rows)
      summary.uploads.insert(summary.uploads.end(), row.results.begin(), row.results.end());
  Json report = Json::parse(fleetJson(summary));
  // Null while it runs: the status it ends with is not known yet.
  if (!run.ended) report["exitStatus"] = nullptr;
  return text(report);
}

std::string UploadRuns::state() {
  std::lock_guard<std::mutex> lock(mutex_);
  Json uploads = Json::array();
  for (auto& [id, run] : runs_) {
    std::lock_guard<std::mutex> runLock(run->mutex);
    uploads.push_back(run->stateJson());
  }
  // Taken under every lock: each event up to it is in the state above.
  return text({{"lastEvent", events_.newest()}, {"uploads", uploads}});
}

void UploadRuns::stopAll() {
  std::vector<Run*> running;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
    for (auto& [id, run] : runs_) {
      run->stopAsked = true;
      run->session->stop();
      running.push_back(run.get());
    }
  }
  for (Run* run : running)
    if (run->thread.joinable()) run->thread.join();
}
