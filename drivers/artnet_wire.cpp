#include "drivers/artnet_wire.h"

#include <cstdlib>
#include <cstring>

namespace artnet {
namespace {

constexpr char kId[8] = {'A', 'r', 't', '-', 'N', 'e', 't', '\0'};
constexpr std::uint8_t kRdmStartCode = 0xCC;

// ID, OpCode low byte first, and (except ArtPollReply) ProtVer high byte first.
std::size_t header(std::uint8_t* out, std::uint16_t opCode) {
  std::memcpy(out, kId, sizeof kId);
  out[8] = static_cast<std::uint8_t>(opCode & 0xFF);
  out[9] = static_cast<std::uint8_t>(opCode >> 8);
  out[10] = 0;
  out[11] = kProtocolVersion;
  return 12;
}

// A fixed-size, NUL-terminated text field; stops at the first NUL.
std::string field(const std::uint8_t* data, std::size_t size) {
  std::size_t n = 0;
  while (n < size && data[n] != 0) ++n;
  std::string text(reinterpret_cast<const char*>(data), n);
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) == 0x7F) c = '?';
  while (!text.empty() && text.back() == ' ') text.pop_back();
  while (!text.empty() && text.front() == ' ') text.erase(0, 1);
  return text;
}

bool number(const std::string& text, unsigned long limit, unsigned long& value) {
  if (text.empty() || text.size() > 5) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  value = std::strtoul(text.c_str(), nullptr, 10);
  return value <= limit;
}

}  // namespace

bool nzsAllows(std::uint8_t startCode) { return startCode != 0 && startCode != kRdmStartCode; }

std::size_t buildNzs(std::uint8_t* out, std::uint8_t sequence, std::uint16_t portAddress,
                     const std::uint8_t* packet, std::size_t length) {
  const std::size_t slots = length - 1;
  header(out, kOpNzs);
  out[12] = sequence;
  out[13] = packet[0];
  out[14] = static_cast<std::uint8_t>(portAddress & 0xFF);         // SubUni
  out[15] = static_cast<std::uint8_t>((portAddress >> 8) & 0x7F);  // Net
  out[16] = static_cast<std::uint8_t>(slots >> 8);                 // Length, high byte first
  out[17] = static_cast<std::uint8_t>(slots & 0xFF);
  std::memcpy(out + kNzsHeaderSize, packet + 1, slots);
  return kNzsHeaderSize + slots;
}

std::uint8_t nextSequence(std::uint8_t sequence) {
  return sequence >= 255 ? 1 : static_cast<std::uint8_t>(sequence + 1);
}

std::size_t buildPoll(std::uint8_t* out) {
  header(out, kOpPoll);
  out[12] = 0;  // Flags: one reply, no diagnostics
  out[13] = 0;  // DiagPriority
  return kPollSize;
}

bool parsePollReply(const std::uint8_t* data, std::size_t length, PollReply& reply) {
  if (length < kPollReplyMinSize || std::memcmp(data, kId, sizeof kId) != 0) return false;
  if ((data[8] | (data[9] << 8)) != kOpPollReply) return false;
  reply = PollReply{};
  reply.ip =
      (static_cast<std::uint32_t>(data[10]) << 24) | (data[11] << 16) | (data[12] << 8) | data[13];
  reply.netSwitch = data[18] & 0x7F;
  reply.subSwitch = data[19] & 0x0F;
  reply.shortName = field(data + 26, 18);
  reply.longName = field(data + 44, 64);
  reply.ports = data[173] > 4 ? 4 : data[173];
  for (int i = 0; i < 4; ++i) {
    reply.portTypes[i] = data[174 + i];
    reply.swOut[i] = data[190 + i] & 0x0F;
  }
  if (length > 211) reply.bindIndex = data[211];
  if (length > 216)
    for (int i = 0; i < 4; ++i) reply.rdmOff[i] = (data[213 + i] & 0x80) != 0;
  return true;
}

std::vector<OutputPort> outputPorts(const PollReply& reply) {
  std::vector<OutputPort> out;
  for (int i = 0; i < reply.ports; ++i) {
    if ((reply.portTypes[i] & 0x80) == 0) continue;  // not a DMX512 output
    out.push_back({static_cast<std::uint16_t>((reply.netSwitch << 8) | (reply.subSwitch << 4) |
                                              reply.swOut[i]),
                   !reply.rdmOff[i]});
  }
  return out;
}

std::string listingText(const PollReply& reply, const std::string& address) {
  std::string text = address + " " + (reply.shortName.empty() ? reply.longName : reply.shortName);
  text += " [";
  bool first = true;
  for (const OutputPort& port : outputPorts(reply)) {
    if (!first) text += " ";
    text += portAddressText(port.portAddress);
    first = false;
  }
  text += "]";
  if (text.size() > 63) text.resize(63);
  return text;
}

bool parsePortAddress(const std::string& text, std::uint16_t& portAddress, std::string& error) {
  unsigned long net = 0, sub = 0, universe = 0;
  const std::size_t first = text.find(':');
  bool good = false;
  if (first == std::string::npos) {
    good = number(text, kMaxPortAddress, universe);
  } else {
    const std::size_t second = text.find(':', first + 1);
    good = second != std::string::npos && number(text.substr(0, first), 127, net) &&
           number(text.substr(first + 1, second - first - 1), 15, sub) &&
           number(text.substr(second + 1), 15, universe);
  }
  if (!good) {
    error = "port address \"" + text +
            "\" is neither a number from 0 to 32767 nor Net:Sub-Net:Universe (0-127:0-15:0-15)";
    return false;
  }
  portAddress = static_cast<std::uint16_t>((net << 8) | (sub << 4) | universe);
  return true;
}

std::string portAddressText(std::uint16_t portAddress) {
  return std::to_string((portAddress >> 8) & 0x7F) + ":" +
         std::to_string((portAddress >> 4) & 0x0F) + ":" + std::to_string(portAddress & 0x0F);
}

}  // namespace artnet
