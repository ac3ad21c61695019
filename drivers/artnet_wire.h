// Art-Net 4 packets the Art-Net driver sends and reads, as bytes: ArtNzs
// (a DMX512 packet with a non-zero start code), ArtPoll and ArtPollReply.
// No sockets here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace artnet {

inline constexpr std::uint16_t kOpPoll = 0x2000;
inline constexpr std::uint16_t kOpPollReply = 0x2100;
inline constexpr std::uint16_t kOpNzs = 0x5100;
inline constexpr std::uint8_t kProtocolVersion = 14;
inline constexpr std::uint16_t kMaxPortAddress = 0x7FFF;

inline constexpr std::size_t kNzsHeaderSize = 18;
inline constexpr std::size_t kMaxSlots = 512;
inline constexpr std::size_t kPollSize = 14;
// An ArtPollReply is read up to and including its SwOut field.
inline constexpr std::size_t kPollReplyMinSize = 194;

// True when `startCode` may travel in an ArtNzs packet: neither the null
// start code (that is ArtDmx) nor RDM's 0xCC (that is ArtRdm).
bool nzsAllows(std::uint8_t startCode);

// Writes an ArtNzs packet carrying one DMX512 packet: `packet[0]` is the
// start code, the 1 to 512 bytes after it the slots. `out` must hold
// kNzsHeaderSize + 512 bytes. Returns the packet's size.
std::size_t buildNzs(std::uint8_t* out, std::uint8_t sequence, std::uint16_t portAddress,
                     const std::uint8_t* packet, std::size_t length);

// The next ArtNzs sequence number after `sequence`: 1 to 255, never 0.
std::uint8_t nextSequence(std::uint8_t sequence);

// Writes a 14-byte ArtPoll asking every node for one ArtPollReply.
std::size_t buildPoll(std::uint8_t* out);

struct PollReply {
  std::uint32_t ip = 0;        // the node's own idea of its address
  std::uint8_t netSwitch = 0;  // bits 14-8 of its port addresses
  std::uint8_t subSwitch = 0;  // bits 7-4
  std::uint8_t bindIndex = 0;  // which of a large node's replies this is
  std::string shortName;
  std::string longName;
  int ports = 0;  // 0 to 4
  std::uint8_t portTypes[4] = {};
  std::uint8_t swOut[4] = {};  // bits 3-0 of each output's port address
  // GoodOutputB bit 7 of each port (Art-Net 4): RDM switched off there.
  // Replies of older nodes end before it: RDM is taken to be on.
  bool rdmOff[4] = {};
};

// One DMX512 output of a node, as its ArtPollReply tells.
struct OutputPort {
  std::uint16_t portAddress = 0;
  bool rdm = true;
};
// The DMX512 outputs a reply lists (ports whose type can output), in order.
std::vector<OutputPort> outputPorts(const PollReply& reply);

// Reads an ArtPollReply; false when the bytes are not one.
bool parsePollReply(const std::uint8_t* data, std::size_t length, PollReply& reply);

// How a node appears in a listing, at most 63 characters:
// "10.0.0.5 NodeName [0:0:1 0:0:2]" with the node's address, its short name
// (its long name when the short one is empty) and the port addresses of its
// DMX512 outputs as Net:Sub-Net:Universe.
std::string listingText(const PollReply& reply, const std::string& address);

// Reads a port address written as a number (0 to 32767) or as
// Net:Sub-Net:Universe (0-127:0-15:0-15).
bool parsePortAddress(const std::string& text, std::uint16_t& portAddress, std::string& error);
std::string portAddressText(std::uint16_t portAddress);

}  // namespace artnet
