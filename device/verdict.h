// Did the virtual device receive a file intact? The device should hold the
// file's bytes, then zeros up to the next 64-byte boundary, and nothing more.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "device/virtual_device.h"

namespace vdev {

struct Verdict {
  bool match = false;
  bool started = false;                // a reset for the device arrived
  std::size_t fileBytes = 0;           // length of the file compared against
  std::size_t expectedBytes = 0;       // fileBytes rounded up to whole frames
  long firstMismatch = -1;             // first byte offset that differs (-1: none)
  std::vector<std::uint16_t> missing;  // sequence numbers the file needs but never arrived
  std::size_t extraFrames = 0;         // frames stored beyond the file's end
};

Verdict compare(const VirtualDevice& device, const std::vector<std::uint8_t>& file);

// The device's report, one "name  value" line each, for a person to read.
// With a verdict, it ends with the verification line.
std::string report(const VirtualDevice& device, const Verdict* verdict);

// "2, 5-7, 9": sorted numbers as ranges; at most `limit` ranges, then "...".
std::string ranges(const std::vector<std::uint16_t>& numbers, std::size_t limit);

}  // namespace vdev
