// uploader-cli upload: the plan from the command line, run as a session of
// uploads (session/), shown on the terminal: one line with a progress bar,
// several with a row each and a table or a JSON report at the end.
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "cli/adapter_choice.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/file_bytes.h"
#include "cli/fleet_report.h"
#include "cli/labelled_log.h"
#include "cli/read_back_view.h"
#include "cli/record_result.h"
#include "cli/terminal.h"
#include "cli/terminal_operator.h"
#include "cli/upload_views.h"
#include "engine/line.h"
#include "files/bounded_file.h"
#include "files/shown_text.h"
#include "profiles/profiles.h"
#include "session/address_list.h"
#include "session/image.h"
#include "session/line_targets.h"
#include "session/record_log.h"
#include "session/session.h"

namespace {

// The exit status one upload comes to.
int exitFor(Outcome outcome) {
  switch (outcome) {
    case Outcome::done:
      return exitDone;
    case Outcome::notVerified:
      return exitNotIntact;
    case Outcome::refused:
      return exitFileRefused;
    case Outcome::stopped:
      return exitInterrupted;
    case Outcome::failed:
    case Outcome::skipped:
      break;
  }
  return exitLineFailed;
}

// The exit status of several uploads: a stop first, then refusals (when
// nothing at all was sent), failures, an unverified image, a capture lost.
int exitForAll(const std::vector<UploadReport>& uploads) {
  bool stopped = false, failed = false, unverified = false, allRefused = true, lost = false;
  for (const UploadReport& u : uploads) {
    stopped = stopped || u.outcome == Outcome::stopped;
    failed = failed || u.outcome == Outcome::failed || u.outcome == Outcome::refused ||
             u.outcome == Outcome::skipped;
    unverified = unverified || u.outcome == Outcome::notVerified;
    allRefused = allRefused && u.outcome == Outcome::refused;
    lost = lost || !u.captureLost.empty();
  }
  if (stopped) return exitInterrupted;
  if (allRefused && !uploads.empty()) return exitFileRefused;
  if (failed) return exitLineFailed;
  if (unverified) return exitNotIntact;
  if (lost) return exitOutputFailed;
  return exitDone;
}

// What an upload's line is called in its record line.
std::string recordWhere(const Options& o, const LineTarget& target, bool several,
                        const std::vector<int>& addresses) {
  if (several)
    return "line=" + files::shown(target.label) + " address=" + addressListText(addresses);
  std::string where = "adapter=" + target.label;
  if (!o.serial.empty()) where += " serial=" + o.serial;
  return where + " address=" + std::to_string(addresses.front());
}

struct Upload {
  const Options& o;
  const ReleaseProfile& profile;
  std::shared_ptr<ImageBytes> image;
  std::vector<SessionLine> lines;
  RecordLog& record;
};

int recordRefusal(Upload& u, int status) {
  if (u.record.isOpen())
    u.record.note(resultLine(u.image.get(), u.o.file,
                             recordWhere(u.o, u.lines.front().target, false, u.o.addresses),
                             u.o.profile, status));
  return status;
}

UploadPlan planOf(const Upload& u) {
  UploadPlan plan;
  plan.image = u.image;
  plan.profile = &u.profile;
  plan.fast = u.o.fast;
  plan.verbose = u.o.verbose;
  plan.addresses = u.o.addresses;
  plan.capture = u.o.capture;
  return plan;
}

// One line, one address: the upload as it always looked.
int runOne(Upload& u, ReadBackRun& readBack) {
  const Options& o = u.o;
  SingleLineView view(u.record, o.quiet, isTerminal(stderr));
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
    printError(
        stderr,
        ("capture " + files::quoted(o.capture) + " is incomplete: " + r.captureLost).c_str());
    // The firmware went out as reported; what could not be written is the capture.
    if (code == exitDone) code = exitOutputFailed;
  }
  // The device has something to say once the line carried (or tried to carry) frames.
  if (r.deviceChecked) {
    const bool intact = r.outcome != Outcome::notVerified;
    if (!o.quiet || !intact) {
      std::fputs(r.deviceReport.c_str(), stdout);
      std::fflush(stdout);
    }
    if (code == exitDone && !intact) {
      std::fputs("error: the virtual device did not receive the image intact\n", stderr);
      code = exitNotIntact;
    }
  }
  if (o.readBack && code == exitDone) code = readBack.after();
  // The status says how the upload ended, even when the log had nowhere to
  // go (a reader that went away, as with | head -1).
  if (u.record.isOpen())
    u.record.note(resultLine(u.image.get(), o.file,
                             recordWhere(o, u.lines.front().target, false, o.addresses), o.profile,
                             code));
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
  FleetSummary summary;
  summary.uploads = session.run();
  view.stop();

  summary.file = o.file;
  summary.sha256 = u.image->sha256;
  summary.profile = u.profile.id;
  summary.fast = o.fast;
  summary.resetsToEveryDevice = everyDevice;
  summary.exitStatus = exitForAll(summary.uploads);
  if (o.readBack) {
    if (summary.exitStatus == exitDone) summary.exitStatus = readBack.after();
    summary.readBack = &readBack.readBack();
  }
  for (const UploadReport& r : summary.uploads) {
    int status = exitFor(r.outcome);
    if (status == exitDone && !r.captureLost.empty()) status = exitOutputFailed;
    u.record.note(resultLine(u.image.get(), o.file,
                             recordWhere(o, u.lines[r.line].target, true, r.addresses), o.profile,
                             status));
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

// Every line's adapter, made before anything is sent: one that cannot be is a usage error.
bool makeLines(const Options& o, const std::vector<LineTarget>& targets, bool several,
               std::vector<SessionLine>& lines) {
  if (!o.serial.empty() && targets.size() > 1) {
    std::fputs(
        "error: --serial names one adapter; with several lines name each as ftdi:SERIAL or "
        "d2xx:SERIAL\n",
        stderr);
    return false;
  }
  for (LineTarget target : targets) {
    std::string error;
    std::unique_ptr<Adapter> adapter = chooseAdapter(o, target.adapter, error);
    if (adapter == nullptr) {
      printError(stderr, (several ? target.label + ": " + error : error).c_str());
      return false;
    }
    if (target.serial.empty()) target.serial = o.serial;
    lines.push_back({target, std::move(adapter)});
  }
  return true;
}

}  // namespace

int runUpload(const Options& o) {
  if (o.file.size() >= kPathCapacity) {
    std::fprintf(stderr,
                 "error: FILE path is %zu characters long; the uploader takes at most %zu\n",
                 o.file.size(), kPathCapacity - 1);
    return exitUsage;
  }
  if (!o.capture.empty() && sameFile(o.capture, o.file)) {
    std::fputs("error: --capture names the image FILE itself; it would be overwritten\n", stderr);
    return exitUsage;
  }
  // The image, read once: a regular file only (a FIFO would hold the upload
  // for ever; a refusal can say what the file really is). Every line sends
  // these bytes, whatever happens to the file meanwhile.
  auto image = std::make_shared<ImageBytes>();
  std::string error;
  if (!loadImage(o.file, *image, error)) {
    printError(stderr, ("Cannot read file " + files::quoted(o.file) + "\n" + error).c_str());
    return exitFileRefused;
  }

  std::vector<LineTarget> targets;
  const LineProblem problem =
      lineTargets({o.adapterNames, o.linesFile, o.driverSettings}, targets, error);
  if (problem != LineProblem::none) {
    printError(stderr, error.c_str());
    return problem == LineProblem::linesFile       ? exitFileRefused
           : problem == LineProblem::listingFailed ? exitLineFailed
                                                   : exitUsage;
  }
  const bool several = targets.size() > 1 || o.addresses.size() > 1 || o.json;
  std::vector<SessionLine> lines;
  if (!makeLines(o, targets, several, lines)) return exitUsage;

  // The log goes to standard output (standard error under --json, whose
  // report takes standard output), and to the record with --log.
  StreamLog logStream(o.json ? stderr : stdout);
  RecordLog record(logStream);
  Upload upload{o, *findProfile(o.profile.c_str()), image, std::move(lines), record};
  if (!o.logFile.empty() && !record.open(o.logFile, error)) {
    printError(stderr, error.c_str());
    return exitFileRefused;
  }
  if (!image->tooLarge) {
    if (!o.quiet) {
      std::fprintf(stderr, "image %s: %zu bytes, SHA-256 %s\n", files::quoted(o.file).c_str(),
                   image->fileSize, image->sha256.c_str());
      std::fflush(stderr);
    }
    const std::string refusal = imageRefusal(imageLooks(image->bytes), o.file);
    if (!refusal.empty() && !o.force) {
      printError(stderr, refusal.c_str());
      return recordRefusal(upload, exitFileRefused);
    }
  }
  // --read-back: the fixtures' versions over RDM before anything is sent.
  ReadBackRun readBack(o);
  if (o.readBack) {
    const int refused = readBack.before();
    if (refused != exitDone) return recordRefusal(upload, refused);
  }
  if (several) return runMany(upload, record, readBack);
  return runOne(upload, readBack);
}
