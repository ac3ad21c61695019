// ANSI E1.31 (sACN) data packets as bytes, and the component identifier
// (CID) that names their source. No sockets here.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace e131 {

inline constexpr std::uint16_t kMinUniverse = 1;
inline constexpr std::uint16_t kMaxUniverse = 63999;
// Root layer (38 bytes), framing layer (77) and the DMP layer's header (10).
inline constexpr std::size_t kHeaderSize = 125;
inline constexpr std::size_t kMaxPropertyValues = 513;  // START code and 512 slots
inline constexpr std::size_t kSourceNameSize = 64;

// Framing layer options.
inline constexpr std::uint8_t kStreamTerminated = 0x40;  // the source stops sending this universe

using Cid = std::array<std::uint8_t, 16>;

struct DataHeader {
  Cid cid{};
  const char* sourceName = "";
  std::uint8_t priority = 100;
  std::uint8_t sequence = 0;
  std::uint8_t options = 0;
  std::uint16_t universe = 1;
};

// Writes one E1.31 data packet whose DMP property values are `values`: a
// DMX512 START code and the slots after it (1 to 513 values). `out` must
// hold kHeaderSize + `count` bytes. Returns the packet's size.
std::size_t buildData(std::uint8_t* out, const DataHeader& header, const std::uint8_t* values,
                      std::size_t count);

// The multicast group of a universe: 239.255.hi.lo (host byte order).
std::uint32_t multicastGroup(std::uint16_t universe);

// A CID as text, "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx" (lower-case hex).
std::string cidText(const Cid& cid);
// Reads that form (either case, surrounding spaces and line ends ignored);
// the nil CID (all zero) is refused.
bool parseCid(const std::string& text, Cid& cid);
// A new random (version 4) CID.
Cid newCid();

}  // namespace e131
