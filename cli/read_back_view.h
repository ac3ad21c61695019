// upload --read-back on the terminal: the session's read-back over RDM,
// its readings on standard output and its notes and errors on standard
// error, its outcome as an exit status.
#pragma once

#include "cli/options.h"
#include "session/read_back.h"

// --rdm-uid, or the default controller UID.
rdm::Uid controllerUid(const Options& options);

class ReadBackRun {
 public:
  explicit ReadBackRun(const Options& options, const ReadBackTuning& tuning = {});
  // Before the upload: exitDone to go on; otherwise the exit status to end
  // with, the reason shown (several lines or addresses, an adapter without
  // RDM: usage; no target without --force: exitReadBack). With --json the
  // readings go to standard error and into the report.
  int before();
  // After an upload that ran to its end: exitDone when every fixture
  // answered with a new version; else exitReadBack (exitInterrupted on Ctrl-C).
  int after();

  const ReadBack& readBack() const { return readBack_; }
  // Every reading goes into `records` too (null: none).
  void keepIn(ServiceRecords* records) { request_.records = records; }

 private:
  const Options& options_;
  ReadBackTuning tuning_;
  ReadBackRequest request_;
  ReadBack readBack_;
};
