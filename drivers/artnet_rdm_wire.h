// The Art-Net 4 packets that carry RDM, as bytes: ArtTodRequest (a node's
// table of devices on one port address), ArtTodData (that table, in blocks
// of up to 200 UIDs) and ArtRdm (one RDM message without its 0xCC start
// code). No sockets here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "drivers/rdm_wire.h"

namespace artnet {

inline constexpr std::uint16_t kOpTodRequest = 0x8000;
inline constexpr std::uint16_t kOpTodData = 0x8100;
inline constexpr std::uint16_t kOpRdm = 0x8300;
// With one address: the 32-entry address list is cut to the entries used.
inline constexpr std::size_t kTodRequestSize = 25;
inline constexpr std::size_t kRdmHeaderSize = 24;
inline constexpr std::size_t kMaxTodBlock = 200;

// The OpCode of an Art-Net packet; 0 when the bytes are none.
std::uint16_t opCodeOf(const std::uint8_t* data, std::size_t length);

// The port address an ArtTodData or ArtRdm is about; false for any other packet.
bool rdmPacketPort(const std::uint8_t* data, std::size_t length, std::uint16_t& portAddress);

// ArtTodRequest (TodFull) for one port address.
std::vector<std::uint8_t> buildTodRequest(std::uint16_t portAddress);

struct TodBlock {
  std::uint16_t portAddress = 0;
  bool full = true;            // CommandResponse TodFull; false for TodNak
  std::uint16_t uidTotal = 0;  // in the whole table
  std::uint8_t blockCount = 0;
  std::vector<rdm::Uid> uids;
};
// Reads one ArtTodData block; false when the bytes are not one.
bool parseTodData(const std::uint8_t* data, std::size_t length, TodBlock& block);

// ArtRdm (ArProcess) for `portAddress` carrying `message`, which starts with
// its 0xCC start code: the start code is left out on the wire.
std::vector<std::uint8_t> buildArtRdm(std::uint16_t portAddress,
                                      const std::vector<std::uint8_t>& message);
// Reads an ArtRdm: its port address and the RDM message with the 0xCC start
// code put back in front; false when the bytes are not one.
bool parseArtRdm(const std::uint8_t* data, std::size_t length, std::uint16_t& portAddress,
                 std::vector<std::uint8_t>& message);

}  // namespace artnet
