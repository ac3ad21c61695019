// The uploads the console runs: each request from a page (or a script)
// becomes a session of uploads (session/) on a thread of its own, whose
// events go to every page through the event log. A line that is uploading
// takes no second upload until it ends.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "console/event_log.h"

// An upload as a page asks for it: the fields of POST /api/uploads.
struct UploadRequest {
  std::string fileName;               // the image's name as the browser gave it
  std::vector<std::uint8_t> image;    // its bytes
  bool imageGiven = false;            // an "image" part came
  std::vector<std::string> adapters;  // a line each, in the command line's syntax
  std::string profile = "v1.2";
  std::string address = "1";  // the list syntax: "1,5,9-12"
  bool fast = false;
  bool readBack = false;
};

// What came of a request: 202 with the upload's number, or the HTTP status
// and the reason, worded as the command line words it.
struct UploadAnswer {
  int status = 202;
  std::uint64_t id = 0;
  std::string error;
};

class UploadRuns {
 public:
  explicit UploadRuns(EventLog& events);
  // Stops every upload and waits for each to end.
  ~UploadRuns();
  UploadRuns(const UploadRuns&) = delete;
  UploadRuns& operator=(const UploadRuns&) = delete;

  UploadAnswer start(UploadRequest request);

  // Asks the upload to stop after each line's send in progress; false when
  // there is no such upload.
  bool stop(std::uint64_t id);

  // The upload's report, the --json report's object (docs/report.md) with
  // the uploads ended so far; its exitStatus is null while it runs. ""
  // when there is no such upload.
  std::string report(std::uint64_t id);

  // Every upload with its lines as they are now, and the number of the
  // newest event they include (a page listens from there).
  std::string state();

  // Asks every upload to stop and waits until each has ended.
  void stopAll();

 private:
  struct Run;
  void finished(Run& run);

  EventLog& events_;
  std::mutex mutex_;
  std::map<std::uint64_t, std::unique_ptr<Run>> runs_;
  std::map<std::string, std::uint64_t> busy_;  // a line's label: the upload it is in
  std::uint64_t nextId_ = 1;
  bool closing_ = false;  // stopAll() was called: nothing more starts
};
