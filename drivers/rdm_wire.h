// RDM (ANSI E1.20) messages as bytes: the layout, the checksum, UIDs, the
// GET requests the uploader makes and the answers it reads (DEVICE_INFO and
// the text labels). No sockets here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace rdm {

inline constexpr std::uint8_t kStartCode = 0xCC;
inline constexpr std::uint8_t kSubStartCode = 0x01;
inline constexpr std::size_t kHeaderSize = 24;  // start code up to and including the PDL
inline constexpr std::size_t kMaxData = 231;

inline constexpr std::uint8_t kGetCommand = 0x20;
inline constexpr std::uint8_t kGetCommandResponse = 0x21;

inline constexpr std::uint8_t kAck = 0x00;
inline constexpr std::uint8_t kAckTimer = 0x01;
inline constexpr std::uint8_t kNackReason = 0x02;
inline constexpr std::uint8_t kAckOverflow = 0x03;

inline constexpr std::uint16_t kPidQueuedMessage = 0x0020;
inline constexpr std::uint16_t kPidStatusMessages = 0x0030;
inline constexpr std::uint16_t kPidDeviceInfo = 0x0060;
inline constexpr std::uint16_t kPidDeviceModelDescription = 0x0080;
inline constexpr std::uint16_t kPidManufacturerLabel = 0x0081;
inline constexpr std::uint16_t kPidSoftwareVersionLabel = 0x00C0;

// QUEUED_MESSAGE's one byte: the lowest status type wanted (STATUS_ERROR:
// whatever is queued).
inline constexpr std::uint8_t kStatusError = 0x04;

struct Uid {
  std::uint16_t manufacturer = 0;
  std::uint32_t device = 0;
  bool operator==(const Uid&) const = default;
  auto operator<=>(const Uid&) const = default;
};

// "MMMM:DDDDDDDD", upper-case hexadecimal.
std::string uidText(const Uid& uid);
// Reads "MMMM:DDDDDDDD" (hexadecimal, either case); false for anything else.
bool parseUid(const std::string& text, Uid& uid);
void putUid(std::uint8_t* out, const Uid& uid);
Uid readUid(const std::uint8_t* in);

struct Message {
  Uid destination;
  Uid source;
  std::uint8_t transaction = 0;
  std::uint8_t portOrResponse = 1;  // a request's port ID; a response's response type
  std::uint8_t messageCount = 0;
  std::uint16_t subDevice = 0;
  std::uint8_t commandClass = kGetCommand;
  std::uint16_t pid = 0;
  std::vector<std::uint8_t> data;  // at most kMaxData bytes
};

// The sum of `length` bytes in 16 bits, as RDM checks a message.
std::uint16_t checksum(const std::uint8_t* bytes, std::size_t length);

// The whole message from its start code 0xCC to its checksum.
std::vector<std::uint8_t> encode(const Message& message);
// Reads a whole message that starts with 0xCC; false with `why` when the
// bytes are not one (short, wrong start codes or length, bad checksum).
bool decode(const std::uint8_t* bytes, std::size_t length, Message& message, std::string& why);

// The reason a responder gives with NACK_REASON, in words.
std::string nackReasonText(std::uint16_t reason);

// DEVICE_INFO's answer, the fields the uploader shows.
struct DeviceInfo {
  std::uint16_t protocolVersion = 0;
  std::uint16_t modelId = 0;
  std::uint16_t category = 0;
  std::uint32_t softwareVersion = 0;
  std::uint16_t footprint = 0;
  std::uint16_t startAddress = 0;  // 0xFFFF: the device takes no DMX512 slots
  std::uint16_t subDevices = 0;
};
inline constexpr std::size_t kDeviceInfoSize = 19;
bool parseDeviceInfo(const std::vector<std::uint8_t>& data, DeviceInfo& info);

// A label answer (up to 32 characters, not terminated), with control
// characters and bytes above 0x7E shown as '?'.
std::string labelText(const std::vector<std::uint8_t>& data);

}  // namespace rdm
