#include "device/virtual_device.h"

#include <algorithm>
#include <cstring>

#include "device/receiver_crc.h"

namespace vdev {
namespace {

constexpr std::uint8_t kStart = 0x91;
constexpr std::uint8_t kMakerHigh = 0x29;
constexpr std::uint8_t kMakerLow = 0xA9;
constexpr std::uint8_t kReset = 0xFF;
constexpr std::uint8_t kData = 0xFE;
constexpr std::uint16_t kEveryDevice = 0xFFFF;
constexpr std::size_t kCrcAt = 74;
constexpr std::size_t kPayloadAt = 10;

std::uint16_t le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

}  // namespace

const char* rejectName(Reject reason) {
  switch (reason) {
    case Reject::wrongLength:
      return "wrong length";
    case Reject::otherStartCode:
      return "other start code";
    case Reject::otherManufacturer:
      return "other manufacturer";
    case Reject::unknownCommand:
      return "unknown command";
    case Reject::otherAddress:
      return "reset for another address";
    case Reject::dataNotBroadcast:
      return "data not sent to 65535";
    case Reject::dataBeforeReset:
      return "data before any reset";
  }
  return "?";
}

VirtualDevice::VirtualDevice(std::uint16_t address) : address_(address) {}

std::uint64_t VirtualDevice::rejected() const {
  std::uint64_t n = 0;
  for (std::uint64_t r : counts_.rejects) n += r;
  return n;
}

void VirtualDevice::receive(const std::uint8_t* packet, std::size_t length) {
  ++counts_.seen;
  if (length != kPacketSize) return reject(Reject::wrongLength);
  if (packet[0] != kStart) return reject(Reject::otherStartCode);
  if (packet[1] != kMakerHigh || packet[2] != kMakerLow) return reject(Reject::otherManufacturer);
  if (receiverCrc(packet, kCrcAt) != le16(packet + kCrcAt)) {
    ++counts_.badCrc;
    if (started_ && packet[3] == kData && le16(packet + 4) == kEveryDevice)
      damaged_.insert(le16(packet + 8));
    return;
  }
  const std::uint8_t command = packet[3];
  const std::uint16_t target = le16(packet + 4);
  if (command == kReset) {
    if (target != address_ && target != kEveryDevice) {
      lastOtherReset_ = target;
      return reject(Reject::otherAddress);
    }
    ++counts_.good;
    ++counts_.resets;
    started_ = true;
    frames_.clear();
    damaged_.clear();
    conflicting_.clear();
    return;
  }
  if (command != kData) return reject(Reject::unknownCommand);
  if (target != kEveryDevice) return reject(Reject::dataNotBroadcast);
  if (!started_) return reject(Reject::dataBeforeReset);

  ++counts_.good;
  const std::uint16_t sequence = le16(packet + 8);
  auto [it, fresh] = frames_.try_emplace(sequence);
  Stored& slot = it->second;
  if (fresh) {
    std::memcpy(slot.payload.data(), packet + kPayloadAt, kChunkSize);
    slot.copies = 1;
    return;
  }
  ++slot.copies;
  if (std::memcmp(slot.payload.data(), packet + kPayloadAt, kChunkSize) != 0) {
    ++counts_.conflicting;
    conflicting_.insert(sequence);
  }
}

std::vector<std::uint16_t> VirtualDevice::sequences() const {
  std::vector<std::uint16_t> out;
  out.reserve(frames_.size());
  for (const auto& [sequence, slot] : frames_) out.push_back(sequence);
  return out;
}

std::uint32_t VirtualDevice::copies(std::uint16_t sequence) const {
  auto it = frames_.find(sequence);
  return it == frames_.end() ? 0 : it->second.copies;
}

const std::uint8_t* VirtualDevice::payload(std::uint16_t sequence) const {
  auto it = frames_.find(sequence);
  return it == frames_.end() ? nullptr : it->second.payload.data();
}

std::size_t VirtualDevice::imageBytes() const {
  if (frames_.empty()) return 0;
  return (static_cast<std::size_t>(frames_.rbegin()->first) + 1) * kChunkSize;
}

std::vector<std::uint8_t> VirtualDevice::image() const {
  std::vector<std::uint8_t> out(imageBytes(), 0);
  for (const auto& [sequence, slot] : frames_)
    std::copy(slot.payload.begin(), slot.payload.end(),
              out.begin() + static_cast<std::ptrdiff_t>(sequence * kChunkSize));
  return out;
}

}  // namespace vdev
