// uploader-cli decode: a virtual device listens to a capture and reports
// what it received. The capture is read one record at a time, so memory does
// not grow with its size.
#include <cstdio>

#include "cli/commands.h"
#include "cli/file_bytes.h"
#include "cli/output_check.h"
#include "cli/terminal_operator.h"
#include "device/capture_reader.h"
#include "device/completeness.h"
#include "device/verdict.h"
#include "device/virtual_device.h"
#include "files/bounded_file.h"
#include "files/shown_text.h"
#include "session/exit_codes.h"

namespace {

int fail(int code, const std::string& text) {
  printError(stderr, text.c_str());
  return code;
}

struct Listened {
  std::size_t records = 0;
  std::int64_t first = 0;
  std::int64_t last = 0;
  std::size_t trailingBytes = 0;
};

// Feeds every record of the capture at `path` to the device. False with `error`.
bool listen(const std::string& path, vdev::VirtualDevice& device, Listened& heard,
            std::string& error) {
  files::InputFile in;
  if (!in.open(path)) {
    error = in.error();
    return false;
  }
  vdev::CaptureStream stream(in.stream());
  if (!stream.start(error)) {
    error = files::quoted(path) + ": " + error;
    return false;
  }
  if (stream.header().linkType != vdev::kLinkTypeUser0) {
    error = files::quoted(path) + " holds link type " + std::to_string(stream.header().linkType) +
            ", not 147 (DMX packets as uploader-cli --capture writes)";
    return false;
  }
  vdev::CaptureRecord record;
  while (stream.next(record)) {
    if (heard.records++ == 0) heard.first = record.micros;
    heard.last = record.micros;
    device.receive(record.bytes.data(), record.bytes.size());
  }
  if (!stream.error().empty()) {
    error = files::quoted(path) + ": " + stream.error();
    return false;
  }
  heard.trailingBytes = stream.trailingBytes();
  return true;
}

int decode(const Options& o) {
  if (!o.out.empty() &&
      (sameFile(o.out, o.file) || (!o.expect.empty() && sameFile(o.out, o.expect)))) {
    std::fputs("error: --out names the capture or the --expect file; it would be overwritten\n",
               stderr);
    return exitUsage;
  }
  std::string error;
  std::vector<std::uint8_t> expected;
  if (!o.expect.empty() && !readFileBytes(o.expect, expected, error))
    return fail(exitFileRefused, "--expect: " + error);

  vdev::VirtualDevice device(static_cast<std::uint16_t>(o.addresses.front()));
  Listened heard;
  if (!listen(o.file, device, heard, error))
    return fail(exitFileRefused, "cannot decode the capture: " + error);

  const double span = static_cast<double>(heard.last - heard.first) / 1e6;
  std::printf("Capture %s: %zu records over %.3f s\n", files::quoted(o.file).c_str(), heard.records,
              span);
  vdev::Verdict verdict;
  if (!o.expect.empty()) verdict = vdev::compare(device, expected);
  std::fputs(vdev::report(device, o.expect.empty() ? nullptr : &verdict).c_str(), stdout);
  flushOutput();
  // A capture that ends inside a record was cut short (a disk that filled, a
  // crash): frames after the cut cannot be seen. Only --expect can still show
  // the image arrived whole; without it the image is not written as if it were.
  const bool cut = heard.trailingBytes > 0;
  const std::string cutText = "the capture ends in the middle of a record (" +
                              std::to_string(heard.trailingBytes) +
                              " bytes of it): it was cut short, by a full disk or an upload "
                              "that never ended, and what followed the cut is not in it";
  if (cut && !o.expect.empty()) std::fprintf(stderr, "warning: %s\n", cutText.c_str());
  if (cut && o.expect.empty()) {
    if (!o.out.empty())
      std::fprintf(stderr, "note: --out %s not written: the image may not be whole\n",
                   files::quoted(o.out).c_str());
    return fail(exitIncomplete, "the capture does not hold the whole image: " + cutText);
  }

  if (!o.out.empty()) {
    if (!writeFileBytes(o.out, device.image(), error))
      return fail(exitOutputFailed, "--out: " + error);
    if (!o.quiet)
      std::fprintf(stderr, "wrote %zu bytes to %s\n", device.imageBytes(),
                   files::quoted(o.out).c_str());
  }
  if (!o.expect.empty()) {
    if (verdict.match) return exitDone;
    return fail(exitNotIntact, "the device did not receive " + files::quoted(o.expect) + " intact");
  }
  const vdev::Completeness whole = vdev::completeness(device);
  if (!whole.whole)
    return fail(exitIncomplete, "the capture does not hold the whole image: " +
                                    vdev::incompleteness(device, whole));
  return exitDone;
}

}  // namespace

int runDecode(const Options& o) { return checkedOutput(decode(o)); }
