// A session of uploads: one image to one or many lines (USB adapters,
// nodes' universes, simulated lines), whatever front end runs it. Each line
// opens and closes on a thread of its own; the frames of every line whose
// adapter never blocks are paced by one timing thread, and each line whose
// adapter may block (USB, serial) by one of its own, so that no line holds
// another up. A line that fails stops alone. Captures are written by a
// spool thread and events reach the observer on a thread of their own, so
// the timing thread does no file or terminal work. A single upload is a
// session of one line. Nothing here prints or ends the process.
#pragma once

#include <atomic>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/adapter.h"
#include "engine/clock.h"
#include "engine/profile.h"
#include "session/events.h"
#include "session/image.h"
#include "session/line_targets.h"
#include "session/service_records.h"

// A line with its adapter made.
struct SessionLine {
  LineTarget target;
  std::unique_ptr<Adapter> adapter;
};

// What to upload, and how.
struct UploadPlan {
  std::shared_ptr<const ImageBytes> image;  // read once; every line sends these bytes
  const ReleaseProfile* profile = nullptr;
  bool fast = false;
  bool verbose = false;  // a log line at each frame's first send
  std::vector<int> addresses{
      1};               // each line uploads to each (all at once when resets reach every device)
  std::string capture;  // "": none; with several lines, "NAME-N.EXT" for line N
  ServiceRecords* records = nullptr;  // null: nothing recorded
  // The least time between two packets to one network node, in µs (0: no
  // gap): the lines of a node are staggered within their pauses.
  std::int64_t nodeGapMicros = 100;
};

// Whether one upload on a line reaches every address (v1.2's resets go to
// every device on the line), or each address takes an upload of its own.
bool resetsReachEveryDevice(const ReleaseProfile& profile);

// "line.pcap" for line 2: "line-2.pcap".
std::string numberedPath(const std::string& path, std::size_t number);

class UploadSession {
 public:
  // `lines` and `observer` must outlive the session.
  UploadSession(const UploadPlan& plan, std::vector<SessionLine>& lines, SessionObserver& observer);
  UploadSession(const UploadSession&) = delete;
  UploadSession& operator=(const UploadSession&) = delete;

  // Runs every line to its end, reporting to the observer as it goes, and
  // returns what each upload did, line by line. Every event has reached the
  // observer when it returns.
  std::vector<UploadReport> run();

  // From any thread: every line stops after the send in progress (its
  // adapter is closed as usual); uploads not started are not tried.
  void stop();

 private:
  struct Running;
  struct Shared;
  // The report of an upload on a line, as far as it is known before it runs
  // (or of one that did not run its course: refused, failed, skipped).
  static UploadReport reportOf(const Running& line, const std::vector<int>& addresses,
                               Outcome outcome, const std::string& reason);
  UploadReport uploadOnce(Shared& shared, Running& line, Adapter& adapter,
                          const std::vector<int>& addresses, bool first);
  void runLine(Shared& shared, Running& line);
  // A line whose thread could not be started: it fails alone with `why`.
  void notStarted(Shared& shared, Running& line, const std::string& why);
  // An upload that never started, in the records (begun and ended at once).
  void record(const Running& line, UploadReport& report);

  const UploadPlan plan_;
  std::vector<SessionLine>& lines_;
  SessionObserver& observer_;
  std::atomic<bool> stopping_{false};
  std::mutex runningMutex_;
  std::deque<Running>* running_ = nullptr;  // while run() runs
};
