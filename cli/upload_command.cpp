// uploader-cli upload: the engine's upload on a worker thread, reported on
// the terminal; on the simulated adapter, checked by a virtual device.
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "cli/adapter_choice.h"
#include "cli/capture_tap.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/file_bytes.h"
#include "cli/fleet.h"
#include "cli/image_checks.h"
#include "cli/interrupt.h"
#include "cli/labelled_log.h"
#include "cli/line_targets.h"
#include "cli/read_back.h"
#include "cli/record_log.h"
#include "cli/terminal.h"
#include "cli/terminal_operator.h"
#include "device/verdict.h"
#include "device/virtual_device.h"
#include "drivers/sim.h"
#include "engine/line.h"
#include "engine/program.h"
#include "files/bounded_file.h"
#include "files/shown_text.h"
#include "profiles/profiles.h"

namespace {

int exitFor(int result) {
  switch (result) {
    case uploadDone:
      return exitDone;
    case uploadLinkFailed:
      return exitLineFailed;
    case uploadStopped:
      return exitInterrupted;
    default:
      return exitFileRefused;
  }
}

// Prints the device's report and returns whether it holds `image` intact:
// the bytes the upload read and sent, not a second reading of the file.
bool verifyDevice(const vdev::VirtualDevice& device, const std::vector<std::uint8_t>& image,
                  bool quiet) {
  const vdev::Verdict verdict = vdev::compare(device, image);
  if (!quiet || !verdict.match) {
    std::fputs(vdev::report(device, &verdict).c_str(), stdout);
    std::fflush(stdout);
  }
  return verdict.match;
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
  // The image must be a regular file: the engine would wait for ever on a
  // FIFO, and here a refusal can say what the file really is.
  files::InputFile probe;
  if (!probe.open(o.file)) {
    printError(stderr,
               ("Cannot read file " + files::quoted(o.file) + "\n" + probe.error()).c_str());
    return exitFileRefused;
  }
  probe.close();

  std::string error;
  std::vector<LineTarget> targets;
  int status = exitUsage;
  if (!lineTargets(o, targets, error, status)) {
    printError(stderr, error.c_str());
    return status;
  }
  // Every adapter is made before anything else: one that cannot be is a usage error.
  const bool several = targets.size() > 1 || o.addresses.size() > 1 || o.json;
  std::vector<FleetLine> fleet;
  std::unique_ptr<Adapter> chosen;
  Options one = o;
  if (several) {
    if (!makeFleetLines(o, targets, fleet)) return exitUsage;
  } else {
    one.adapterName = targets.front().adapter;
    if (!targets.front().serial.empty()) one.serial = targets.front().serial;
    chosen = chooseAdapter(one, error);
    if (chosen == nullptr) {
      printError(stderr, error.c_str());
      return exitUsage;
    }
  }

  // The log goes to standard output (standard error under --json, whose
  // report takes standard output), and to the record with --log.
  StreamLog logStream(o.json ? stderr : stdout);
  RecordLog record(logStream);
  if (!o.logFile.empty() && !record.open(o.logFile, error)) {
    printError(stderr, error.c_str());
    return exitFileRefused;
  }
  ImageFacts image;
  if (const int refused = checkImage(o.file, o.quiet, o.force, image); refused != exitDone)
    return recordResult(record, o, image, refused);
  // --read-back: the fixtures' versions over RDM before anything is sent.
  ReadBack readBack;
  if (o.readBack) {
    const int refused = readBackBefore(o, readBack);
    if (refused != exitDone) return recordResult(record, o, image, refused);
  }
  if (several) return runFleet(o, fleet, record, image);

  // One line, one address: the upload as it always was.
  // The simulated adapter carries a virtual device on its line.
  std::unique_ptr<vdev::VirtualDevice> device;
  if (auto* sim = dynamic_cast<sim::SimAdapter*>(chosen.get())) {
    sim->settings().keepRecord = false;  // the record grows with every call; no use here
    const int at = sim->settings().deviceAddress != 0 ? sim->settings().deviceAddress : o.address;
    device = std::make_unique<vdev::VirtualDevice>(static_cast<std::uint16_t>(at));
    sim->setLineSink([d = device.get()](const std::uint8_t* bytes, std::size_t n, std::int64_t) {
      d->receive(bytes, n);
    });
  }

  CaptureWriter capture;
  std::unique_ptr<CaptureTap> tap;
  if (!o.capture.empty()) {
    if (!capture.open(o.capture, error)) {
      printError(stderr, error.c_str());
      return recordResult(record, o, image, exitFileRefused);
    }
    tap = std::make_unique<CaptureTap>(*chosen, capture);
  }

  const ReleaseProfile& profile = *findProfile(o.profile.c_str());
  std::vector<std::uint8_t> imageBuffer(profile.imageCapacity);
  auto line = std::make_unique<Line>();
  lineUseProfile(*line, profile, imageBuffer.data(), imageBuffer.size());
  std::snprintf(line->szFile, sizeof line->szFile, "%s", o.file.c_str());
  line->checked = o.fast;
  line->address = static_cast<std::uint16_t>(o.address);
  line->wantedSerial = one.serial.empty() ? nullptr : one.serial.c_str();
  line->adapter = tap != nullptr ? static_cast<Adapter*>(tap.get()) : chosen.get();
  line->log = &record;
  line->verbose = o.verbose;

  TerminalOperator op(o.quiet, isTerminal(stderr));
  OperatorClock clock(realClock(), op);
  line->op = &op;
  line->clock = &clock;
  int result = uploadRefused;
  {
    WatchedLine watch(*line);
    std::thread worker([&result, &line] { result = program(*line); });
    worker.join();
  }
  capture.close();

  int code = exitFor(result);
  if (result == uploadStopped)
    std::fprintf(stderr,
                 "interrupted at byte %d of %d: run the same command again to upload anew "
                 "(every upload starts with a fresh reset burst)\n",
                 static_cast<int>(line->deliveredBytes), static_cast<int>(line->fw_size));
  if (code != exitDone && !op.errorShown())
    std::fputs(code == exitLineFailed ? "error: the upload failed on the adapter or the line\n"
                                      : "error: the image file was refused\n",
               stderr);
  if (capture.failed()) {
    printError(
        stderr,
        ("capture " + files::quoted(o.capture) + " is incomplete: " + capture.error()).c_str());
    // The firmware went out as reported; what could not be written is the capture.
    if (code == exitDone) code = exitOutputFailed;
  }
  // The device has something to say once the line carried (or tried to carry) frames.
  if (device != nullptr && (result == uploadDone || line->sendsTried > 0)) {
    const std::vector<std::uint8_t> sent(line->fw_data, line->fw_data + line->fw_size);
    const bool intact = verifyDevice(*device, sent, o.quiet);
    if (code == exitDone && !intact) {
      std::fputs("error: the virtual device did not receive the image intact\n", stderr);
      code = exitNotIntact;
    }
  }
  if (o.readBack && code == exitDone) code = readBackAfter(o, readBack);
  // The status says how the upload ended, even when the log had nowhere to
  // go (a reader that went away, as with | head -1).
  return recordResult(record, o, image, code);
}
