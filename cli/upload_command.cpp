// uploader-cli upload: the plan from the command line, run as a session of
// uploads (session/), shown on the terminal: one line with a progress bar,
// several with a row each and a table or a JSON report at the end.
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "cli/commands.h"
#include "cli/dry_run.h"
#include "cli/file_bytes.h"
#include "cli/fleet_report.h"
#include "cli/labelled_log.h"
#include "cli/output_check.h"
#include "cli/read_back_view.h"
#include "cli/record_result.h"
#include "cli/records_use.h"
#include "cli/terminal.h"
#include "cli/terminal_operator.h"
#include "cli/upload_views.h"
#include "engine/line.h"
#include "files/bounded_file.h"
#include "files/shown_text.h"
#include "profiles/profiles.h"
#include "session/adapter_choice.h"
#include "session/address_list.h"
#include "session/exit_codes.h"
#include "session/image.h"
#include "session/line_targets.h"
#include "session/record_log.h"
#include "session/session.h"

namespace {

// What an upload's line is called in its record line.
std::string recordWhere(const Options& o, const LineTarget& target, bool several,
                        const std::vector<int>& addresses) {
  if (several)
    return "line=" + files::bareField(target.label) + " address=" + addressListText(addresses);
  std::string where = "adapter=" + files::bareField(target.label);
  if (!o.serial.empty()) where += " serial=" + files::bareField(o.serial);
  return where + " address=" + std::to_string(addresses.front());
}

struct Upload {
  const Options& o;
  const ReleaseProfile& profile;
  std::shared_ptr<ImageBytes> image;
  std::vector<SessionLine> lines;
  RecordLog& record;
  ServiceRecords* records;  // null: none kept
};

// Closes the --log record. When any of it could not be written, says so and
// turns a good status into exitOutputFailed: the firmware went out as shown;
// what was lost is the record. Nothing more once it is closed.
int closedRecord(RecordLog& record, const std::string& path, int status) {
  if (!record.isOpen() || record.close()) return status;
  printError(stderr, ("the --log record " + files::quoted(path) +
                      " could not be written: " + std::strerror(record.failure()) +
                      "; the uploads ended as shown here, check the disk and keep this output")
                         .c_str());
  return status == exitDone ? exitOutputFailed : status;
}

// What every report says of the run before its uploads: the image and how it is sent.
FleetSummary summaryOf(const Options& o, const ImageBytes* image) {
  FleetSummary summary;
  summary.file = o.file;
  if (image != nullptr) summary.sha256 = image->sha256;
  summary.profile = o.profile;
  summary.fast = o.fast;
  const ReleaseProfile* profile = findProfile(o.profile.c_str());
  summary.resetsToEveryDevice = profile != nullptr && resetsReachEveryDevice(*profile);
  return summary;
}

// "error: capture "c-2.pcap" is incomplete: ...": said in every mode (-q, --json).
void sayCaptureLost(const std::string& path, const std::string& why) {
  printError(stderr, ("capture " + files::quoted(path) + " is incomplete: " + why).c_str());
}

// With --json a refusal before any upload is still one report: no uploads,
// the exit status and why. Its error was said on standard error already.
int refused(const Options& o, const ImageBytes* image, int status, const std::string& why,
            const std::vector<LineReadBack>* readBack = nullptr) {
  if (!o.json) return status;
  FleetSummary summary = summaryOf(o, image);
  summary.exitStatus = status;
  summary.readBack = readBack;
  summary.refusal = why;
  std::fputs(fleetJson(summary).c_str(), stdout);
  return checkedOutput(status);
}

// The record's result line of a single upload (or of a refusal before it).
void noteSingle(Upload& u, int status) {
  if (u.record.isOpen())
    u.record.note(resultLine(u.image.get(), u.o.file,
                             recordWhere(u.o, u.lines.front().target, false, u.o.addresses),
                             u.o.profile, status));
}

int recordRefusal(Upload& u, int status, const std::string& why,
                  const std::vector<LineReadBack>* readBack = nullptr) {
  noteSingle(u, status);
  return refused(u.o, u.image.get(), closedRecord(u.record, u.o.logFile, status), why, readBack);
}

// Why the read-back before the upload refused it, for the report.
std::string readBackRefusal(int status) {
  switch (status) {
    case exitUsage:
      return "--read-back cannot read the fixtures of these lines or this adapter";
    case exitLineFailed:
      return "--read-back: the node could not be reached before the upload";
    case exitInterrupted:
      return "interrupted while reading the fixtures before the upload";
    case exitWrongModel:
      return "--model: a fixture that would take the upload is of another model; nothing was "
             "sent";
    default:
      return "--read-back: no fixture answered over RDM before the upload; nothing was sent";
  }
}

UploadPlan planOf(const Upload& u) {
  UploadPlan plan;
  plan.image = u.image;
  plan.profile = &u.profile;
  plan.fast = u.o.fast;
  plan.verbose = u.o.verbose;
  plan.nodeGapMicros = u.o.nodeGapMicros;
  plan.addresses = u.o.addresses;
  plan.capture = u.o.capture;
  plan.records = u.records;
  return plan;
}

// One line, one address: the upload as it always looked.
int runOne(Upload& u, ReadBackRun& readBack) {
  const Options& o = u.o;
  SingleLineView view(u.record, o.quiet, isTerminal(stderr));
  if (o.readBack) view.holdClosing();
  UploadSession session(planOf(u), u.lines, view);
  const std::vector<UploadReport> results = session.run();
  const UploadReport& r = results.front();

  int code = exitFor(r.outcome == Outcome::notVerified ? Outcome::done : r.outcome);
  if (r.outcome == Outcome::stopped)
    std::fprintf(stderr,
                 "interrupted at byte %d of %d: run the same command again to upload anew "
                 "(every upload starts with a fresh reset burst)\n",
                 static_cast<int>(r.bytes), static_cast<int>(r.total));
  if (code != exitDone && !view.errorShown())
    std::fputs(code == exitLineFailed ? "error: the upload failed on the adapter or the line\n"
                                      : "error: the image file was refused\n",
               stderr);
  if (!r.captureLost.empty()) {
    sayCaptureLost(o.capture, r.captureLost);
    // The firmware went out as reported; what could not be written is the capture.
    if (code == exitDone) code = exitOutputFailed;
  }
  // The device has something to say once the line carried (or tried to carry) frames.
  if (r.deviceChecked) {
    const bool intact = r.outcome != Outcome::notVerified;
    if (!o.quiet || !intact) {
      std::fputs(r.deviceReport.c_str(), stdout);
      flushOutput();
    }
    if (code == exitDone && !intact) {
      std::fputs("error: the virtual device did not receive the image intact\n", stderr);
      code = exitNotIntact;
    }
  }
  // "DONE" is shown once the read-back has confirmed it.
  bool confirmed = true;
  if (o.readBack && code == exitDone) {
    code = readBack.after();
    confirmed = code == exitDone;
    if (!confirmed)
      std::fputs(
          "error: the image went out, but the read-back did not confirm the new firmware "
          "(above): the upload is not known to be done\n",
          stderr);
  }
  if (confirmed) view.showHeld();
  code = checkedLog(code);
  // The status says how the upload ended, even when the log had nowhere to
  // go (a reader that went away, as with | head -1).
  noteSingle(u, code);
  if (u.records != nullptr) u.records->exitStatus(r.record, code);
  return code;
}

// Several lines, several addresses, or --json: a row per line, then the table or the report.
int runMany(Upload& u, LogSink& logSink, ReadBackRun& readBack) {
  const Options& o = u.o;
  const bool everyDevice = resetsReachEveryDevice(u.profile);
  if (everyDevice && o.addresses.size() > 1 && !o.quiet)
    std::fprintf(stderr,
                 "note: profile %s resets every device on a line: one upload per line reaches "
                 "every fixture of the model on it; the addresses %s only name them in the "
                 "report\n",
                 u.profile.id, addressListText(o.addresses).c_str());

  // The log, labelled per line, at once unless the rows are drawn on the same terminal.
  std::FILE* logOut = o.json ? stderr : stdout;
  const bool viewOnTerminal = !o.quiet && isTerminal(stderr);
  std::vector<std::string> labels;
  for (const SessionLine& l : u.lines) labels.push_back(l.target.label);
  ManyLinesView view(labels, logSink, o.quiet, viewOnTerminal,
                     viewOnTerminal && isTerminal(logOut));
  UploadSession session(planOf(u), u.lines, view);
  view.start();
  FleetSummary summary = summaryOf(o, u.image.get());
  summary.uploads = session.run();
  view.stop();
  summary.exitStatus = exitForAll(summary.uploads);
  if (o.readBack && summary.exitStatus == exitDone) summary.exitStatus = readBack.after();
  if (readBack.reads()) summary.readBack = &readBack.lines();
  // A capture cut short is an error whatever else shows the run (-q, --json).
  for (const UploadReport& r : summary.uploads)
    if (!r.captureLost.empty()) sayCaptureLost(r.capture, r.captureLost);
  // The log on standard output is whole by now; the report comes after the record.
  bool logLost = false;
  if (!o.json) {
    const int checked = checkedLog(summary.exitStatus);
    logLost = checked != summary.exitStatus;
    summary.exitStatus = checked;
  }
  for (const UploadReport& r : summary.uploads) {
    int status = exitFor(r.outcome);
    if (status == exitDone && (!r.captureLost.empty() || logLost)) status = exitOutputFailed;
    u.record.note(resultLine(u.image.get(), o.file,
                             recordWhere(o, u.lines[r.line].target, true, r.addresses), o.profile,
                             status));
    if (u.records != nullptr) u.records->exitStatus(r.record, status);
  }
  summary.exitStatus = closedRecord(u.record, o.logFile, summary.exitStatus);
  if (o.json) {
    std::fputs(fleetJson(summary).c_str(), stdout);
    summary.exitStatus = checkedOutput(summary.exitStatus);
  } else if (!o.quiet || summary.exitStatus != exitDone) {
    const std::size_t columns = isTerminal(stderr) ? terminalColumns(stderr) : 0;
    printFleetTable(stderr, summary, columns != 0 ? static_cast<int>(columns) : 200);
    if (o.readBack && summary.readBack != nullptr && summary.uploads.size() > 0)
      printReadBackTable(stderr, *summary.readBack, columns != 0 ? static_cast<int>(columns) : 200);
  }
  if (summary.exitStatus == exitInterrupted)
    std::fputs(
        "interrupted: every line stopped after its send in progress; run the same command "
        "again to upload anew (every upload starts with a fresh reset burst)\n",
        stderr);
  return summary.exitStatus;
}

// Every line's adapter, made before anything is sent: one that cannot be is a usage error.
bool makeLines(const Options& o, const std::vector<LineTarget>& targets, bool several,
               std::vector<SessionLine>& lines, std::string& why) {
  if (!o.serial.empty() && targets.size() > 1) {
    why = "--serial names one adapter; with several lines name each as ftdi:SERIAL or d2xx:SERIAL";
    return false;
  }
  for (LineTarget target : targets) {
    std::string error;
    std::unique_ptr<Adapter> adapter =
        chooseAdapter(o.driverSettings, o.serial, target.adapter, error);
    if (adapter == nullptr) {
      why = several ? target.label + ": " + error : error;
      return false;
    }
    if (target.serial.empty()) target.serial = o.serial;
    lines.push_back({target, std::move(adapter)});
  }
  return true;
}

}  // namespace

int reportUsageRefusal(const Options& options, const std::string& file, const std::string& why) {
  Options o = options;
  o.json = true;
  o.file = file;
  return refused(o, nullptr, exitUsage, why);
}

int runUpload(const Options& o) {
  // Each refusal is said on standard error, and with --json is a report too.
  const auto refuse = [&o](int status, const std::string& why, const ImageBytes* image) {
    printError(stderr, why.c_str());
    return refused(o, image, status, why);
  };
  if (o.file.size() >= kPathCapacity)
    return refuse(exitUsage,
                  "FILE path is " + std::to_string(o.file.size()) +
                      " characters long; the uploader takes at most " +
                      std::to_string(kPathCapacity - 1),
                  nullptr);
  if (!o.capture.empty() && sameFile(o.capture, o.file))
    return refuse(exitUsage, "--capture names the image FILE itself; it would be overwritten",
                  nullptr);
  // The image, read once: a regular file only (a FIFO would hold the upload
  // for ever; a refusal can say what the file really is). Every line sends
  // these bytes, whatever happens to the file meanwhile.
  auto image = std::make_shared<ImageBytes>();
  std::string error;
  if (!loadImage(o.file, *image, error))
    return refuse(exitFileRefused, "Cannot read file " + files::quoted(o.file) + "\n" + error,
                  nullptr);

  std::vector<LineTarget> targets;
  const LineProblem problem =
      lineTargets({o.adapterNames, o.linesFile, o.driverSettings}, targets, error);
  if (problem != LineProblem::none)
    return refuse(problem == LineProblem::linesFile       ? exitFileRefused
                  : problem == LineProblem::listingFailed ? exitLineFailed
                                                          : exitUsage,
                  error, image.get());
  const bool several = targets.size() > 1 || o.addresses.size() > 1 || o.json;
  std::vector<SessionLine> lines;
  if (!makeLines(o, targets, several, lines, error)) return refuse(exitUsage, error, image.get());

  // The log goes to standard output (standard error under --json, whose
  // report takes standard output), and to the record with --log.
  StreamLog logStream(o.json ? stderr : stdout);
  RecordLog record(logStream);
  RecordsUse records;
  if (!o.dryRun && !records.open(o, error)) return refuse(exitFileRefused, error, image.get());
  if (records.records() != nullptr) records.records()->setImage(*image, o.profile, o.fast);
  Upload upload{
      o, *findProfile(o.profile.c_str()), image, std::move(lines), record, records.records()};
  if (!o.logFile.empty() && !o.dryRun && !record.open(o.logFile, error))
    return refuse(exitFileRefused, error, image.get());
  if (!image->tooLarge) {
    if (!o.quiet) {
      std::fprintf(stderr, "image %s: %zu bytes, SHA-256 %s\n", files::quoted(o.file).c_str(),
                   image->fileSize, image->sha256.c_str());
      std::fflush(stderr);
    }
    const std::string refusal = imageRefusal(imageLooks(image->bytes), o.file);
    if (!refusal.empty() && !o.force) {
      printError(stderr, refusal.c_str());
      return recordRefusal(upload, exitFileRefused, refusal);
    }
  }
  // --read-back and --model: the fixtures of every line that can read
  // back, over RDM, before anything is sent.
  ReadBackRun readBack(o);
  readBack.keepIn(records.records());
  const int readable = readBack.setLines(targets);
  if (readable != exitDone) return recordRefusal(upload, readable, readBackRefusal(readable));
  int checks = readBack.before();
  if (checks == exitDone) checks = readBack.checkModels();
  if (o.dryRun)
    return closedRecord(
        record, o.logFile,
        runDryRun(o, upload.profile, *image, upload.lines, readBack,
                  checks == exitDone && image->tooLarge ? exitFileRefused : checks));
  if (checks != exitDone)
    return recordRefusal(upload, checks, readBackRefusal(checks),
                         readBack.reads() ? &readBack.lines() : nullptr);
  const int status = several ? runMany(upload, record, readBack) : runOne(upload, readBack);
  return records.closed(closedRecord(record, o.logFile, status));
}
