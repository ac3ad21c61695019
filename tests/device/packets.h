// Hand-made line packets for the device tests: the layout written out field
// by field, sealed with the engine's CRC (an implementation apart from the
// device's own).
#pragma once

#include <cstdint>
#include <vector>

#include "engine/frame.h"

using Packet = std::vector<std::uint8_t>;

inline Packet makePacket(std::uint8_t command, std::uint16_t address, std::uint16_t sequence,
                         const std::vector<std::uint8_t>& payload = {}) {
  Packet p(76, 0);
  p[0] = 0x91;
  p[1] = 0x29;
  p[2] = 0xA9;
  p[3] = command;
  p[4] = static_cast<std::uint8_t>(address & 0xFF);
  p[5] = static_cast<std::uint8_t>(address >> 8);
  p[8] = static_cast<std::uint8_t>(sequence & 0xFF);
  p[9] = static_cast<std::uint8_t>(sequence >> 8);
  for (std::size_t i = 0; i < payload.size() && i < 64; ++i) p[10 + i] = payload[i];
  const std::uint16_t crc = get_CRC(p.data(), 74);
  p[74] = static_cast<std::uint8_t>(crc & 0xFF);
  p[75] = static_cast<std::uint8_t>(crc >> 8);
  return p;
}

inline Packet resetTo(std::uint16_t address) { return makePacket(0xFF, address, 0); }

inline Packet dataFrame(std::uint16_t sequence, const std::vector<std::uint8_t>& payload) {
  return makePacket(0xFE, 0xFFFF, sequence, payload);
}

// 64 bytes that differ from frame to frame.
inline std::vector<std::uint8_t> chunk(std::uint16_t sequence) {
  std::vector<std::uint8_t> c(64);
  for (std::size_t i = 0; i < 64; ++i) c[i] = static_cast<std::uint8_t>(sequence * 31 + i * 7 + 1);
  return c;
}
