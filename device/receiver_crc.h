// The receiver's own frame check: CRC-16/KERMIT (reflected polynomial 0x8408,
// start 0, no final XOR), computed bit by bit as a small receiver would.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vdev {

std::uint16_t receiverCrc(const std::uint8_t* data, std::size_t length);

}  // namespace vdev
