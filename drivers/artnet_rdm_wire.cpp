#include "drivers/artnet_rdm_wire.h"

#include <cstring>

#include "drivers/artnet_wire.h"

namespace artnet {
namespace {

constexpr char kId[8] = {'A', 'r', 't', '-', 'N', 'e', 't', '\0'};
constexpr std::uint8_t kRdmVersion = 0x01;  // ANSI E1.20

std::vector<std::uint8_t> headed(std::uint16_t opCode, std::size_t size) {
  std::vector<std::uint8_t> out(size, 0);
  std::memcpy(out.data(), kId, sizeof kId);
  out[8] = static_cast<std::uint8_t>(opCode & 0xFF);
  out[9] = static_cast<std::uint8_t>(opCode >> 8);
  out[11] = kProtocolVersion;
  return out;
}

std::uint16_t portAddressOf(std::uint8_t net, std::uint8_t address) {
  return static_cast<std::uint16_t>((net & 0x7F) << 8 | address);
}

}  // namespace

std::uint16_t opCodeOf(const std::uint8_t* data, std::size_t length) {
  if (length < 12 || std::memcmp(data, kId, sizeof kId) != 0) return 0;
  return static_cast<std::uint16_t>(data[8] | data[9] << 8);
}

bool rdmPacketPort(const std::uint8_t* data, std::size_t length, std::uint16_t& portAddress) {
  const std::uint16_t op = opCodeOf(data, length);
  if ((op != kOpTodData && op != kOpRdm) || length < kRdmHeaderSize) return false;
  portAddress = portAddressOf(data[21], data[23]);
  return true;
}

std::vector<std::uint8_t> buildTodRequest(std::uint16_t portAddress) {
  std::vector<std::uint8_t> out = headed(kOpTodRequest, kTodRequestSize);
  out[21] = static_cast<std::uint8_t>(portAddress >> 8 & 0x7F);  // Net
  out[22] = 0x00;                                                // Command: TodFull
  out[23] = 1;                                                   // AdCount
  out[24] = static_cast<std::uint8_t>(portAddress & 0xFF);       // Address[0]
  return out;
}

bool parseTodData(const std::uint8_t* d, std::size_t length, TodBlock& block) {
  if (opCodeOf(d, length) != kOpTodData || length < 28) return false;
  const std::size_t count = d[27];
  if (length < 28 + count * 6) return false;
  block.portAddress = portAddressOf(d[21], d[23]);
  block.full = d[22] == 0x00;
  block.uidTotal = static_cast<std::uint16_t>(d[24] << 8 | d[25]);
  block.blockCount = d[26];
  block.uids.clear();
  for (std::size_t i = 0; i < count; ++i) block.uids.push_back(rdm::readUid(d + 28 + i * 6));
  return true;
}

std::vector<std::uint8_t> buildArtRdm(std::uint16_t portAddress,
                                      const std::vector<std::uint8_t>& message) {
  const std::size_t body = message.empty() ? 0 : message.size() - 1;
  std::vector<std::uint8_t> out = headed(kOpRdm, kRdmHeaderSize + body);
  out[12] = kRdmVersion;
  out[21] = static_cast<std::uint8_t>(portAddress >> 8 & 0x7F);  // Net
  out[22] = 0x00;                                                // Command: ArProcess
  out[23] = static_cast<std::uint8_t>(portAddress & 0xFF);       // Address
  if (body > 0) std::memcpy(out.data() + kRdmHeaderSize, message.data() + 1, body);
  return out;
}

bool parseArtRdm(const std::uint8_t* d, std::size_t length, std::uint16_t& portAddress,
                 std::vector<std::uint8_t>& message) {
  if (opCodeOf(d, length) != kOpRdm || length <= kRdmHeaderSize) return false;
  portAddress = portAddressOf(d[21], d[23]);
  message.assign(1, rdm::kStartCode);
  message.insert(message.end(), d + kRdmHeaderSize, d + length);
  return true;
}

}  // namespace artnet
