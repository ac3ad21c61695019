#include "drivers/sacn.h"

#include <cstring>
#include <map>
#include <vector>

#include "drivers/e131_wire.h"
#include "drivers/netio.h"
#include "drivers/sacn_cid.h"
#include "drivers/udp_link.h"

namespace sacn {
namespace {

constexpr FT_STATUS kInvalidParameter = 6;  // D2XX's FT_INVALID_PARAMETER
constexpr const char* kSourceName = "uploader";
constexpr std::uint8_t kPriority = 100;
constexpr int kTerminatingPackets = 3;

Settings current;

// What "sacn:UNIVERSE[@HOST]" said; no host means multicast.
std::uint16_t universe = 1;
std::string host;

bool cidGiven = false;  // by sacnSetCid
e131::Cid cid{};

char handleToken;
UdpLink link;
std::map<std::uint16_t, std::uint8_t> nextSequence;  // per universe, for the process's life
std::vector<std::uint8_t> lastValues;  // the last property values sent, for the closing packets

std::string why;

bool isOpen(FT_HANDLE h) { return h == &handleToken && udpIsOpen(link); }

bool load() {
  if (!netio::startup(why)) return false;
  return cidGiven || loadOrCreateCid(cidPath(), cid, why);
}

bool target(std::uint32_t& address) {
  if (host.empty()) {
    address = e131::multicastGroup(universe);
    return true;
  }
  return netio::resolve(host, address, why);
}

std::string targetText(std::uint32_t address) {
  return netio::addressText(address) + ":" + std::to_string(current.port);
}

FT_STATUS FTAPI listDevices(void* pArg1, void* pArg2, FT_DWORD) {
  std::uint32_t address = 0;
  if (!target(address)) return FT_DEVICE_NOT_FOUND;
  // E1.31 has no poll: the one entry is where the packets will go.
  const std::string text = "universe " + std::to_string(universe) + " -> " + targetText(address);
  char** slots = static_cast<char**>(pArg1);
  if (slots[0] != nullptr) {
    std::strncpy(slots[0], text.c_str(), 63);
    slots[0][63] = '\0';
  }
  *static_cast<std::int32_t*>(pArg2) = 1;
  return FT_OK;
}

// The serial text is only the listing's name for the target; the target
// itself is the one "sacn:UNIVERSE[@HOST]" named.
FT_STATUS FTAPI openEx(void*, FT_DWORD, FT_HANDLE* handle) {
  std::uint32_t address = 0;
  if (!target(address)) return FT_DEVICE_NOT_FOUND;
  if (!udpOpen(link, address, current.port, why)) return FT_DEVICE_NOT_OPENED;
  lastValues.clear();
  why.clear();
  *handle = &handleToken;
  return FT_OK;
}

FT_STATUS FTAPI setBaudRate(FT_HANDLE h, std::uint32_t) {
  return isOpen(h) ? FT_OK : FT_INVALID_HANDLE;
}

FT_STATUS FTAPI setDataCharacteristics(FT_HANDLE h, std::uint8_t, std::uint8_t, std::uint8_t) {
  return isOpen(h) ? FT_OK : FT_INVALID_HANDLE;
}

FT_BOOL FTAPI escapeCommFunction(FT_HANDLE h, FT_DWORD) { return isOpen(h) ? 1 : 0; }
// The node makes the break before every packet it puts on the line.
FT_BOOL FTAPI setBreak(FT_HANDLE h) { return isOpen(h) ? 1 : 0; }
FT_BOOL FTAPI clearBreak(FT_HANDLE h) { return isOpen(h) ? 1 : 0; }

bool sendValues(const std::uint8_t* values, std::size_t count, std::uint8_t options) {
  e131::DataHeader header;
  header.cid = cid;
  header.sourceName = kSourceName;
  header.priority = kPriority;
  header.sequence = nextSequence[universe];
  header.options = options;
  header.universe = universe;
  std::uint8_t packet[e131::kHeaderSize + e131::kMaxPropertyValues];
  const std::size_t size = e131::buildData(packet, header, values, count);
  if (!udpSend(link, packet, size, "an E1.31 data packet", why)) return false;
  ++nextSequence[universe];
  return true;
}

FT_STATUS FTAPI write(FT_HANDLE h, void* buffer, FT_DWORD length, FT_DWORD* written) {
  *written = 0;
  if (!isOpen(h)) return FT_INVALID_HANDLE;
  if (length < 1 || length > e131::kMaxPropertyValues) {
    why = "an E1.31 data packet carries a START code and up to 512 slots, not " +
          std::to_string(length) + " bytes";
    return kInvalidParameter;
  }
  const auto* values = static_cast<const std::uint8_t*>(buffer);
  if (!sendValues(values, length, 0)) return FT_IO_ERROR;
  lastValues.assign(values, values + length);
  *written = length;
  return FT_OK;
}

// A source that stops sends three packets with Stream_Terminated set. They
// repeat the last frame, so that a node that ignores the option and puts
// them on the line sends nothing the devices have not already seen.
FT_STATUS FTAPI close(FT_HANDLE h) {
  if (!isOpen(h)) return FT_INVALID_HANDLE;
  if (!lastValues.empty() && !link.lost)
    for (int i = 0; i < kTerminatingPackets; ++i)
      if (!sendValues(lastValues.data(), lastValues.size(), e131::kStreamTerminated)) break;
  lastValues.clear();
  udpClose(link);
  return FT_OK;
}

const char* lastError() { return why.c_str(); }

const AdapterTable table = {"sacn",
                            "the sACN source (UDP sockets and its CID)",
                            load,
                            listDevices,
                            openEx,
                            setBaudRate,
                            setDataCharacteristics,
                            escapeCommFunction,
                            setBreak,
                            clearBreak,
                            write,
                            close,
                            lastError};

}  // namespace

Settings& settings() { return current; }

const AdapterTable* make(const std::string& argument, std::string& error) {
  const std::size_t at = argument.find('@');
  const std::string number = argument.substr(0, at);
  bool digits = !number.empty() && number.size() <= 5;
  for (char c : number) digits = digits && c >= '0' && c <= '9';
  const unsigned long value = digits ? std::stoul(number) : 0;
  if (value < e131::kMinUniverse || value > e131::kMaxUniverse) {
    error = "sacn needs a universe from 1 to 63999: sacn:UNIVERSE[@HOST], not \"sacn:" + argument +
            "\"";
    return nullptr;
  }
  if (at != std::string::npos && at + 1 == argument.size()) {
    error = "sacn:" + argument + " names no host after \"@\"";
    return nullptr;
  }
  universe = static_cast<std::uint16_t>(value);
  host = at == std::string::npos ? "" : argument.substr(at + 1);
  why.clear();
  return &table;
}

}  // namespace sacn

bool sacnSetCid(const std::string& text, std::string& error) {
  using namespace sacn;
  if (text.empty()) {
    cidGiven = false;
    return true;
  }
  e131::Cid read{};
  if (!e131::parseCid(text, read)) {
    error = "\"" + text + "\" is not a CID (xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx, not all zero)";
    return false;
  }
  cid = read;
  cidGiven = true;
  return true;
}
