#include "device/receiver_crc.h"

namespace vdev {

std::uint16_t receiverCrc(const std::uint8_t* data, std::size_t length) {
  std::uint16_t crc = 0;
  for (std::size_t i = 0; i < length; ++i) {
    crc = static_cast<std::uint16_t>(crc ^ data[i]);
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc & 1u) != 0 ? static_cast<std::uint16_t>((crc >> 1) ^ 0x8408u)
                            : static_cast<std::uint16_t>(crc >> 1);
  }
  return crc;
}

}  // namespace vdev
