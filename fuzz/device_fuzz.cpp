// The capture reader and the virtual device on arbitrary bytes: a capture
// from anywhere (cut short, wrong byte order, hostile lengths) must parse or
// be refused cleanly, and every record it yields must go through the device
// without a crash, with its counts adding up.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "device/capture_reader.h"
#include "device/verdict.h"
#include "device/virtual_device.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Raw packets straight into the device, cut at arbitrary points.
  vdev::VirtualDevice raw(static_cast<std::uint16_t>(size % 513));
  for (std::size_t at = 0; at < size;) {
    const std::size_t len = std::min<std::size_t>(size - at, 1 + data[at] % 80);
    raw.receive(data + at, len);
    at += len;
  }
  if (raw.counts().good + raw.counts().badCrc + raw.rejected() != raw.counts().seen) std::abort();

  vdev::Capture capture;
  std::string error;
  if (!vdev::parseCapture(data, size, capture, error)) {
    if (error.empty()) std::abort();
    return 0;
  }
  vdev::VirtualDevice device(1);
  for (const vdev::CaptureRecord& r : capture.records)
    device.receive(r.bytes.data(), r.bytes.size());
  if (device.counts().seen != capture.records.size()) std::abort();
  const vdev::Verdict v = vdev::compare(device, std::vector<std::uint8_t>(data, data + size % 300));
  (void)vdev::report(device, &v);
  return 0;
}
