#include "engine/frame.h"

#include <cstring>

std::uint16_t crc_ccitt_update(std::uint16_t crc, std::uint8_t data) {
  std::uint8_t d = static_cast<std::uint8_t>(data ^ (crc & 0xFF));
  d = static_cast<std::uint8_t>(d ^ (d << 4));
  return static_cast<std::uint16_t>(((d << 8) | (crc >> 8)) ^ (d >> 4) ^ (d << 3));
}

std::uint16_t get_CRC(const std::uint8_t* data, std::uint16_t len) {
  std::uint16_t crc = 0;
  for (std::uint16_t i = 0; i < len; ++i) crc = crc_ccitt_update(crc, data[i]);
  return crc;
}

static void put16(UploadFrame& f, std::size_t at, std::uint16_t v) {
  f.bytes[at] = static_cast<std::uint8_t>(v & 0xFF);
  f.bytes[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

static std::uint16_t get16(const UploadFrame& f, std::size_t at) {
  return static_cast<std::uint16_t>(f.bytes[at] | (f.bytes[at + 1] << 8));
}

void frameBuildReset(UploadFrame& f, std::uint16_t resetAddress) {
  std::memset(f.bytes, 0, sizeof f.bytes);
  f.bytes[0] = kStartCode;
  f.bytes[1] = kManufacturerHigh;
  f.bytes[2] = kManufacturerLow;
  f.bytes[kOffCommand] = kCommandReset;
  put16(f, kOffAddress, resetAddress);
}

void frameMakeData(UploadFrame& f) {
  put16(f, kOffAddress, kBroadcastAddress);
  f.bytes[kOffCommand] = kCommandData;
}

void frameLoadChunk(UploadFrame& f, const std::uint8_t* chunk, std::size_t len) {
  if (len > kPayloadSize) len = kPayloadSize;
  std::memset(f.bytes + kOffPayload, 0, kPayloadSize);
  std::memcpy(f.bytes + kOffPayload, chunk, len);
}

void frameSeal(UploadFrame& f) { put16(f, kOffCrc, get_CRC(f.bytes, kOffCrc)); }

void frameAdvance(UploadFrame& f) {
  put16(f, kOffSequence, static_cast<std::uint16_t>(get16(f, kOffSequence) + 1));
}

std::uint16_t frameAddress(const UploadFrame& f) { return get16(f, kOffAddress); }
std::uint16_t frameSequence(const UploadFrame& f) { return get16(f, kOffSequence); }
