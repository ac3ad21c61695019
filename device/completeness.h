// Does the device hold a whole image, as far as a receiver can tell without
// the file to compare with? Every sequence number from 0 up to the highest
// that arrived (whole, or claimed by a frame with a bad CRC) must have been
// stored, each with one payload only. Frames missing after the last one that
// arrived in any form cannot be seen: the line does not carry the image's length.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device/virtual_device.h"

namespace vdev {

struct Completeness {
  bool started = false;                    // a reset for the device arrived
  std::vector<std::uint16_t> missing;      // never stored, below the highest number seen
  std::vector<std::uint16_t> damagedOnly;  // of those, the ones frames with a bad CRC claimed
  std::vector<std::uint16_t> conflicting;  // stored, but arrived with different payloads too
  bool whole = false;                      // started, some data, nothing missing or conflicting
};

Completeness completeness(const VirtualDevice& device);

// Why the image is not whole, for a person: "no reset frame for address 7
// arrived", "sequence numbers 1-4 missing (3 only with a bad CRC)" and the like;
// empty when it is whole.
std::string incompleteness(const VirtualDevice& device, const Completeness& c);

}  // namespace vdev
