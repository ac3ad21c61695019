// The 76-byte upload frame and its CRC-16.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr std::size_t kFrameSize = 76;
inline constexpr std::size_t kPayloadSize = 64;
inline constexpr std::uint8_t kStartCode = 0x91;
inline constexpr std::uint8_t kManufacturerHigh = 0x29;
inline constexpr std::uint8_t kManufacturerLow = 0xA9;
inline constexpr std::uint8_t kCommandReset = 0xFF;
inline constexpr std::uint8_t kCommandData = 0xFE;
inline constexpr std::uint16_t kBroadcastAddress = 0xFFFF;

// Offsets inside the frame.
inline constexpr std::size_t kOffCommand = 3;
inline constexpr std::size_t kOffAddress = 4;
inline constexpr std::size_t kOffSequence = 8;
inline constexpr std::size_t kOffPayload = 10;
inline constexpr std::size_t kOffCrc = 74;

struct UploadFrame {
  std::uint8_t bytes[kFrameSize];
};
static_assert(sizeof(UploadFrame) == kFrameSize);

// Reflected CRC-CCITT (CRC-16/KERMIT), one byte at a time.
std::uint16_t crc_ccitt_update(std::uint16_t crc, std::uint8_t data);
// CRC of `len` bytes starting from 0.
std::uint16_t get_CRC(const std::uint8_t* data, std::uint16_t len);

// Clears the frame and writes a reset header to `resetAddress`.
void frameBuildReset(UploadFrame& f, std::uint16_t resetAddress);
// Turns the header into a data header (address 0xFFFF, command 0xFE), keeping the sequence.
void frameMakeData(UploadFrame& f);
// Clears the payload and copies 1 to 64 bytes to its start.
void frameLoadChunk(UploadFrame& f, const std::uint8_t* chunk, std::size_t len);
// Computes the CRC over offsets 0..73 and stores it little-endian at 74.
void frameSeal(UploadFrame& f);
// Adds 1 to the sequence field, wrapping at 16 bits.
void frameAdvance(UploadFrame& f);

std::uint16_t frameAddress(const UploadFrame& f);
std::uint16_t frameSequence(const UploadFrame& f);
