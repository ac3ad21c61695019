// uploader-cli upload: the engine's upload on a worker thread, reported on
// the terminal; on the simulated adapter, checked by a virtual device.
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>

#include "cli/adapter_choice.h"
#include "cli/capture_tap.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/file_bytes.h"
#include "cli/terminal.h"
#include "cli/terminal_operator.h"
#include "device/verdict.h"
#include "device/virtual_device.h"
#include "drivers/sim.h"
#include "engine/program.h"
#include "engine/state.h"
#include "profiles/profiles.h"

namespace {

int exitFor(int result) {
  switch (result) {
    case uploadDone:
      return exitDone;
    case uploadLinkFailed:
      return exitLineFailed;
    default:
      return exitFileRefused;
  }
}

// Prints the device's report and returns whether it holds `path` intact.
bool verifyDevice(const vdev::VirtualDevice& device, const std::string& path, bool quiet) {
  std::vector<std::uint8_t> file;
  std::string error;
  if (!readFileBytes(path, file, error)) {
    printError(stderr, ("cannot check the virtual device: " + error).c_str());
    return false;
  }
  const vdev::Verdict verdict = vdev::compare(device, file);
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
  std::string error;
  const AdapterTable* table = chooseAdapter(o, error);
  if (table == nullptr) {
    printError(stderr, error.c_str());
    return exitUsage;
  }

  std::unique_ptr<vdev::VirtualDevice> device;
  if (isSimulated(table)) {
    const int at = o.simDevice != 0 ? o.simDevice : o.address;
    device = std::make_unique<vdev::VirtualDevice>(static_cast<std::uint16_t>(at));
    sim::setLineSink([d = device.get()](const std::uint8_t* bytes, std::size_t n, std::int64_t) {
      d->receive(bytes, n);
    });
  }

  CaptureWriter capture;
  if (!o.capture.empty()) {
    if (!capture.open(o.capture, error)) {
      printError(stderr, error.c_str());
      return exitFileRefused;
    }
    table = &captureTap(*table, capture);
  }

  selectProfile(*findProfile(o.profile.c_str()));
  std::snprintf(szFile, sizeof szFile, "%s", o.file.c_str());
  checked = o.fast;
  address = static_cast<std::uint16_t>(o.address);
  wantedSerial = o.serial.empty() ? nullptr : o.serial.c_str();
  adapter = table;

  TerminalOperator op(o.quiet, isTerminal(stderr));
  OperatorClock clock(realClock(), op);
  uploadOperator = &op;
  uploadClock = &clock;
  int result = uploadRefused;
  std::thread worker([&result] { result = program(); });
  worker.join();
  uploadClock = &realClock();
  uploadOperator = nullptr;
  sim::setLineSink(nullptr);
  capture.close();

  int code = exitFor(result);
  if (code != exitDone && !op.errorShown())
    std::fputs(code == exitLineFailed ? "error: the upload failed on the adapter or the line\n"
                                      : "error: the image file was refused\n",
               stderr);
  if (capture.failed()) {
    printError(stderr, ("capture \"" + o.capture + "\" is incomplete: " + capture.error()).c_str());
    if (code == exitDone) code = exitFileRefused;
  }
  // The device has something to say once the line carried (or tried to carry) frames.
  if (device != nullptr && (result == uploadDone || sim::writeCount() > 0)) {
    const bool intact = verifyDevice(*device, o.file, o.quiet);
    if (code == exitDone && !intact) {
      std::fputs("error: the virtual device did not receive the image intact\n", stderr);
      code = exitNotIntact;
    }
  }
  return code;
}
