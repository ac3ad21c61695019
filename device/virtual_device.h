// A virtual fixture on the DMX line: it looks at every packet the way the
// fixture's boot loader does and rebuilds the firmware image it would store.
// It knows the upload frame only as a receiver sees it on the line:
//
//   0      start code 0x91
//   1..2   manufacturer 0x29 0xA9
//   3      command: 0xFF reset, 0xFE data
//   4..5   address, little-endian (0xFFFF: every device)
//   6..7   reserved
//   8..9   sequence number, little-endian
//   10..73 payload, 64 bytes
//   74..75 CRC-16/KERMIT of bytes 0..73, little-endian
//
// A reset to its own address or to 0xFFFF starts a new image; data frames to
// 0xFFFF store their payload at sequence x 64; a sequence number already
// stored is a repeat and changes nothing. The device also notes which
// sequence numbers frames with a bad CRC claimed and which arrived with two
// different payloads, so that a report can tell what it could not store.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <vector>

namespace vdev {

inline constexpr std::size_t kPacketSize = 76;
inline constexpr std::size_t kChunkSize = 64;

// Why a packet was turned away (bad CRC is counted on its own).
enum class Reject : std::uint8_t {
  wrongLength,        // not 76 bytes
  otherStartCode,     // not 0x91: ordinary DMX or someone else's packet
  otherManufacturer,  // 0x91, but not 0x29 0xA9
  unknownCommand,     // neither reset nor data
  otherAddress,       // a reset for another device
  dataNotBroadcast,   // a data frame not sent to 0xFFFF
  dataBeforeReset,    // a data frame while no image has been started
};
inline constexpr std::size_t kRejectKinds = 7;
const char* rejectName(Reject reason);

struct Counts {
  std::uint64_t seen = 0;    // packets that arrived, whatever they held
  std::uint64_t good = 0;    // well-formed frames the device acted on (repeats included)
  std::uint64_t badCrc = 0;  // well-formed headers whose CRC did not match
  std::array<std::uint64_t, kRejectKinds> rejects{};
  std::uint64_t resets = 0;       // reset frames accepted
  std::uint64_t conflicting = 0;  // repeats whose payload differed from the stored copy
};

class VirtualDevice {
 public:
  explicit VirtualDevice(std::uint16_t address);

  // One DMX packet as it arrived after a break: start code and slots.
  void receive(const std::uint8_t* packet, std::size_t length);

  std::uint16_t address() const { return address_; }
  const Counts& counts() const { return counts_; }
  std::uint64_t rejected() const;
  // True once a reset for this device has arrived.
  bool imageStarted() const { return started_; }
  // The address of the last reset that went to another device (-1: none).
  int lastOtherResetAddress() const { return lastOtherReset_; }

  // Sequence numbers stored since the last reset, in order.
  std::vector<std::uint16_t> sequences() const;
  std::size_t distinctFrames() const { return frames_.size(); }
  // How many times a sequence number arrived (0: never).
  std::uint32_t copies(std::uint16_t sequence) const;
  // The payload stored for a sequence number (null when none).
  const std::uint8_t* payload(std::uint16_t sequence) const;
  // Bytes up to the end of the highest stored frame.
  std::size_t imageBytes() const;
  // The stored image, imageBytes() long, zeros where frames are missing.
  std::vector<std::uint8_t> image() const;
  // Sequence numbers that data frames with a bad CRC claimed since the last
  // reset (a damaged header may claim a wrong one), in order.
  const std::set<std::uint16_t>& damagedSequences() const { return damaged_; }
  // Sequence numbers that arrived again with another payload since the last reset.
  const std::set<std::uint16_t>& conflictingSequences() const { return conflicting_; }

 private:
  struct Stored {
    std::array<std::uint8_t, kChunkSize> payload;
    std::uint32_t copies;
  };
  void reject(Reject reason) { ++counts_.rejects[static_cast<std::size_t>(reason)]; }

  std::uint16_t address_;
  Counts counts_;
  bool started_ = false;
  int lastOtherReset_ = -1;
  std::map<std::uint16_t, Stored> frames_;
  std::set<std::uint16_t> damaged_;
  std::set<std::uint16_t> conflicting_;
};

}  // namespace vdev
