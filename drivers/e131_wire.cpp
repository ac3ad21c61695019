#include "drivers/e131_wire.h"

#include <chrono>
#include <cstring>
#include <random>

namespace e131 {
namespace {

constexpr char kPacketIdentifier[12] = {'A', 'S', 'C', '-', 'E', '1', '.', '1', '7', 0, 0, 0};
constexpr std::uint32_t kVectorRootData = 0x00000004;
constexpr std::uint32_t kVectorFramingData = 0x00000002;
constexpr std::uint8_t kVectorDmpSetProperty = 0x02;
constexpr std::uint8_t kAddressAndDataType = 0xA1;

// Every multi-byte field of E1.31 is sent high byte first.
std::uint8_t* put16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 8);
  p[1] = static_cast<std::uint8_t>(v & 0xFF);
  return p + 2;
}

std::uint8_t* put32(std::uint8_t* p, std::uint32_t v) {
  return put16(put16(p, static_cast<std::uint16_t>(v >> 16)), static_cast<std::uint16_t>(v));
}

// Flags (0x7) and the PDU's length from this field to the end of the packet.
std::uint8_t* flagsAndLength(std::uint8_t* p, std::size_t length) {
  return put16(p, static_cast<std::uint16_t>(0x7000 | (length & 0x0FFF)));
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::size_t buildData(std::uint8_t* out, const DataHeader& header, const std::uint8_t* values,
                      std::size_t count) {
  const std::size_t size = kHeaderSize + count;
  std::uint8_t* p = out;
  // Root layer.
  p = put16(p, 0x0010);  // preamble size
  p = put16(p, 0x0000);  // post-amble size
  std::memcpy(p, kPacketIdentifier, sizeof kPacketIdentifier);
  p += sizeof kPacketIdentifier;
  p = flagsAndLength(p, size - 16);
  p = put32(p, kVectorRootData);
  std::memcpy(p, header.cid.data(), header.cid.size());
  p += header.cid.size();
  // Framing layer.
  p = flagsAndLength(p, size - 38);
  p = put32(p, kVectorFramingData);
  std::memset(p, 0, kSourceNameSize);
  std::strncpy(reinterpret_cast<char*>(p), header.sourceName, kSourceNameSize - 1);
  p += kSourceNameSize;
  *p++ = header.priority;
  p = put16(p, 0);  // synchronization address: none
  *p++ = header.sequence;
  *p++ = header.options;
  p = put16(p, header.universe);
  // DMP layer.
  p = flagsAndLength(p, size - 115);
  *p++ = kVectorDmpSetProperty;
  *p++ = kAddressAndDataType;
  p = put16(p, 0x0000);  // first property address
  p = put16(p, 0x0001);  // address increment
  p = put16(p, static_cast<std::uint16_t>(count));
  std::memcpy(p, values, count);
  return size;
}

std::uint32_t multicastGroup(std::uint16_t universe) {
  return (239u << 24) | (255u << 16) | universe;
}

std::string cidText(const Cid& cid) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (std::size_t i = 0; i < cid.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
    text += digits[cid[i] >> 4];
    text += digits[cid[i] & 0x0F];
  }
  return text;
}

bool parseCid(const std::string& text, Cid& cid) {
  std::size_t begin = 0, end = text.size();
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (begin < end && blank(text[begin])) ++begin;
  while (end > begin && blank(text[end - 1])) --end;
  if (end - begin != 36) return false;
  Cid read{};
  std::size_t byte = 0;
  bool nil = true;
  for (std::size_t i = begin; i < end;) {
    const std::size_t at = i - begin;
    if (at == 8 || at == 13 || at == 18 || at == 23) {
      if (text[i++] != '-') return false;
      continue;
    }
    const int hi = hexDigit(text[i]);
    const int lo = hexDigit(text[i + 1]);
    if (hi < 0 || lo < 0) return false;
    read[byte] = static_cast<std::uint8_t>(hi << 4 | lo);
    nil = nil && read[byte] == 0;
    ++byte;
    i += 2;
  }
  if (nil) return false;
  cid = read;
  return true;
}

Cid newCid() {
  std::random_device device;
  std::seed_seq seed{
      device(), device(), device(), device(),
      static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count())};
  std::mt19937 mix(seed);
  Cid cid{};
  for (std::uint8_t& b : cid) b = static_cast<std::uint8_t>(mix() & 0xFF);
  cid[6] = static_cast<std::uint8_t>((cid[6] & 0x0F) | 0x40);  // version 4
  cid[8] = static_cast<std::uint8_t>((cid[8] & 0x3F) | 0x80);  // RFC 4122 variant
  return cid;
}

}  // namespace e131
