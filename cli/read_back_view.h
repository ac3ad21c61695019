// upload --read-back and --model on the terminal: the session's read-back
// over RDM on every line that can, all lines at once; the readings on
// standard output (each with its line's label when there are several),
// notes and errors on standard error, the outcome as an exit status.
#pragma once

#include <string>
#include <vector>

#include "cli/options.h"
#include "session/line_targets.h"
#include "session/read_back_lines.h"

// --rdm-uid, or the default controller UID.
rdm::Uid controllerUid(const Options& options);

class ReadBackRun {
 public:
  explicit ReadBackRun(const Options& options, const ReadBackTuning& tuning = {});
  // The lines of the upload. With --read-back every line must be able to
  // read back (exitUsage, naming the one that cannot); with --model alone
  // a line that cannot is only noted as not checked. exitDone otherwise.
  int setLines(const std::vector<LineTarget>& lines);
  // Whether there is anything to read (--read-back, or --model on a line that can).
  bool reads() const { return !lines_.empty(); }
  // Before the upload, every line at once: exitDone to go on; otherwise the
  // exit status to end with, the reason shown (no target without --force:
  // exitReadBack; a stop: exitInterrupted). With --json the readings go to
  // standard error and into the report.
  int before() { return readAll(false); }
  // --model, after before(): exitDone when every fixture that would take the
  // upload is of one of the models (or --force); else exitWrongModel, each
  // other fixture named on standard error.
  int checkModels();
  // After an upload that ran to its end: exitDone when every fixture of
  // every line answered with a new version; else exitReadBack (exitInterrupted on Ctrl-C).
  int after() { return readAll(true); }

  const std::vector<LineReadBack>& lines() const { return lines_; }
  // Labels of the lines whose models are not checked (they cannot read back).
  const std::vector<std::string>& notChecked() const { return notChecked_; }
  // Every reading goes into `records` too (null: none); before setLines().
  void keepIn(ServiceRecords* records) { records_ = records; }

 private:
  // Reads every line at once, before or after the upload; the exit status.
  int readAll(bool after);

  const Options& options_;
  ReadBackTuning tuning_;
  std::vector<LineReadBack> lines_;
  std::vector<std::string> notChecked_;
  ServiceRecords* records_ = nullptr;
};
