// uploader-cli decode: a virtual device listens to a capture and reports
// what it received.
#include <cstdio>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/file_bytes.h"
#include "cli/terminal_operator.h"
#include "device/capture_reader.h"
#include "device/verdict.h"
#include "device/virtual_device.h"

namespace {

int fail(int code, const std::string& text) {
  printError(stderr, text.c_str());
  return code;
}

}  // namespace

int runDecode(const Options& o) {
  if (!o.out.empty() &&
      (sameFile(o.out, o.file) || (!o.expect.empty() && sameFile(o.out, o.expect)))) {
    std::fputs("error: --out names the capture or the --expect file; it would be overwritten\n",
               stderr);
    return exitUsage;
  }
  vdev::Capture capture;
  std::string error;
  if (!vdev::readCapture(o.file, capture, error))
    return fail(exitFileRefused, "cannot decode the capture: " + error);
  if (capture.linkType != vdev::kLinkTypeUser0)
    return fail(exitFileRefused, "\"" + o.file + "\" holds link type " +
                                     std::to_string(capture.linkType) +
                                     ", not 147 (DMX packets as uploader-cli --capture writes)");

  std::vector<std::uint8_t> expected;
  if (!o.expect.empty() && !readFileBytes(o.expect, expected, error))
    return fail(exitFileRefused, "--expect: " + error);

  vdev::VirtualDevice device(static_cast<std::uint16_t>(o.address));
  for (const vdev::CaptureRecord& r : capture.records)
    device.receive(r.bytes.data(), r.bytes.size());

  double span = 0;
  if (capture.records.size() > 1)
    span =
        static_cast<double>(capture.records.back().micros - capture.records.front().micros) / 1e6;
  std::printf("Capture \"%s\": %zu records over %.3f s\n", o.file.c_str(), capture.records.size(),
              span);
  vdev::Verdict verdict;
  if (!o.expect.empty()) verdict = vdev::compare(device, expected);
  std::fputs(vdev::report(device, o.expect.empty() ? nullptr : &verdict).c_str(), stdout);
  std::fflush(stdout);
  if (capture.trailingBytes > 0)
    std::fprintf(stderr,
                 "warning: the capture ends %zu bytes into a record that was never finished "
                 "(an interrupted upload?)\n",
                 capture.trailingBytes);

  if (!o.out.empty()) {
    if (!writeFileBytes(o.out, device.image(), error))
      return fail(exitFileRefused, "--out: " + error);
    if (!o.quiet)
      std::fprintf(stderr, "wrote %zu bytes to \"%s\"\n", device.imageBytes(), o.out.c_str());
  }
  if (!o.expect.empty() && !verdict.match)
    return fail(exitNotIntact, "the device did not receive \"" + o.expect + "\" intact");
  return exitDone;
}
