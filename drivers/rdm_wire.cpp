#include "drivers/rdm_wire.h"

#include <cstdio>
#include <cstdlib>

namespace rdm {
namespace {

std::uint16_t read16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] << 8 | p[1]); }

void put16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 8);
  p[1] = static_cast<std::uint8_t>(v & 0xFF);
}

bool hexDigits(const std::string& text) {
  for (char c : text)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) return false;
  return !text.empty();
}

}  // namespace

std::string uidText(const Uid& uid) {
  char text[16];
  std::snprintf(text, sizeof text, "%04X:%08X", uid.manufacturer,
                static_cast<unsigned>(uid.device));
  return text;
}

bool parseUid(const std::string& text, Uid& uid) {
  if (text.size() != 13 || text[4] != ':') return false;
  const std::string m = text.substr(0, 4), d = text.substr(5);
  if (!hexDigits(m) || !hexDigits(d)) return false;
  uid.manufacturer = static_cast<std::uint16_t>(std::strtoul(m.c_str(), nullptr, 16));
  uid.device = static_cast<std::uint32_t>(std::strtoul(d.c_str(), nullptr, 16));
  return true;
}

void putUid(std::uint8_t* out, const Uid& uid) {
  put16(out, uid.manufacturer);
  for (int i = 0; i < 4; ++i) out[2 + i] = static_cast<std::uint8_t>(uid.device >> (24 - 8 * i));
}

Uid readUid(const std::uint8_t* in) {
  return {read16(in), static_cast<std::uint32_t>(in[2]) << 24 | in[3] << 16 | in[4] << 8 | in[5]};
}

std::uint16_t checksum(const std::uint8_t* bytes, std::size_t length) {
  unsigned sum = 0;
  for (std::size_t i = 0; i < length; ++i) sum += bytes[i];
  return static_cast<std::uint16_t>(sum & 0xFFFF);
}

std::vector<std::uint8_t> encode(const Message& m) {
  const std::size_t pdl = m.data.size() > kMaxData ? kMaxData : m.data.size();
  std::vector<std::uint8_t> out(kHeaderSize + pdl + 2);
  out[0] = kStartCode;
  out[1] = kSubStartCode;
  out[2] = static_cast<std::uint8_t>(kHeaderSize + pdl);  // message length, checksum excluded
  putUid(&out[3], m.destination);
  putUid(&out[9], m.source);
  out[15] = m.transaction;
  out[16] = m.portOrResponse;
  out[17] = m.messageCount;
  put16(&out[18], m.subDevice);
  out[20] = m.commandClass;
  put16(&out[21], m.pid);
  out[23] = static_cast<std::uint8_t>(pdl);
  for (std::size_t i = 0; i < pdl; ++i) out[kHeaderSize + i] = m.data[i];
  put16(&out[kHeaderSize + pdl], checksum(out.data(), kHeaderSize + pdl));
  return out;
}

bool decode(const std::uint8_t* b, std::size_t length, Message& m, std::string& why) {
  if (length < kHeaderSize + 2) {
    why = "an RDM message of " + std::to_string(length) + " bytes is too short";
    return false;
  }
  if (b[0] != kStartCode || b[1] != kSubStartCode) {
    why = "not an RDM message (start codes)";
    return false;
  }
  const std::size_t declared = b[2];
  if (declared < kHeaderSize || declared + 2 > length || b[23] != declared - kHeaderSize) {
    why = "an RDM message whose lengths disagree";
    return false;
  }
  if (read16(b + declared) != checksum(b, declared)) {
    why = "an RDM message with a wrong checksum";
    return false;
  }
  m.destination = readUid(b + 3);
  m.source = readUid(b + 9);
  m.transaction = b[15];
  m.portOrResponse = b[16];
  m.messageCount = b[17];
  m.subDevice = read16(b + 18);
  m.commandClass = b[20];
  m.pid = read16(b + 21);
  m.data.assign(b + kHeaderSize, b + declared);
  return true;
}

std::string nackReasonText(std::uint16_t reason) {
  static const char* const kReasons[] = {
      "unknown PID",                  // 0x0000
      "format error",                 // 0x0001
      "hardware fault",               // 0x0002
      "proxy rejected the request",   // 0x0003
      "write protected",              // 0x0004
      "command class not supported",  // 0x0005
      "data out of range",            // 0x0006
      "buffer full",                  // 0x0007
      "packet size not supported",    // 0x0008
      "sub-device out of range",      // 0x0009
      "proxy buffer full",            // 0x000A
  };
  if (reason < sizeof kReasons / sizeof kReasons[0]) return kReasons[reason];
  char text[40];
  std::snprintf(text, sizeof text, "reason 0x%04X", reason);
  return text;
}

bool parseDeviceInfo(const std::vector<std::uint8_t>& d, DeviceInfo& info) {
  if (d.size() < kDeviceInfoSize) return false;
  info.protocolVersion = read16(&d[0]);
  info.modelId = read16(&d[2]);
  info.category = read16(&d[4]);
  info.softwareVersion = static_cast<std::uint32_t>(d[6]) << 24 | d[7] << 16 | d[8] << 8 | d[9];
  info.footprint = read16(&d[10]);
  info.startAddress = read16(&d[14]);
  info.subDevices = read16(&d[16]);
  return true;
}

std::string labelText(const std::vector<std::uint8_t>& data) {
  std::string text;
  for (std::size_t i = 0; i < data.size() && i < 32; ++i) {
    if (data[i] == 0) break;
    text += data[i] < 0x20 || data[i] > 0x7E ? '?' : static_cast<char>(data[i]);
  }
  return text;
}

}  // namespace rdm
