#include "drivers/artnet.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

#include "drivers/artnet_wire.h"
#include "drivers/netio.h"
#include "drivers/udp_link.h"

namespace artnet {
namespace {

constexpr FT_STATUS kInvalidParameter = 6;  // D2XX's FT_INVALID_PARAMETER

Settings current;

// What "artnet:HOST[:PORT-ADDRESS]" said.
std::string host;
std::uint16_t portAddress = 0;

// What the last listing found out about HOST.
bool hostIsBroadcast = false;

// The open node.
char handleToken;
UdpLink link;
std::map<std::uint16_t, std::uint8_t> lastSequence;  // per port address

std::string why;

bool isOpen(FT_HANDLE h) { return h == &handleToken && udpIsOpen(link); }

bool load() { return netio::startup(why); }

using Clock = std::chrono::steady_clock;

// Whole milliseconds left, rounded up: a listing never ends before its window.
unsigned millisUntil(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<unsigned>((left.count() + 999) / 1000) : 0;
}

// Sends one ArtPoll to HOST; a broadcast address is allowed on a second try.
bool sendPoll(netio::Socket s, std::uint32_t target) {
  std::uint8_t poll[kPollSize];
  buildPoll(poll);
  hostIsBroadcast = false;
  if (netio::sendTo(s, poll, sizeof poll, target, current.nodePort) == kPollSize) return true;
  if (netio::lastFailure() == netio::Failure::denied && netio::allowBroadcast(s, true)) {
    hostIsBroadcast = true;
    if (netio::sendTo(s, poll, sizeof poll, target, current.nodePort) == kPollSize) return true;
  }
  why = "sending ArtPoll to " + host + " failed: " + netio::lastErrorText();
  return false;
}

// Collects the listing texts of the nodes that answer within the window.
// Polling one node, only its replies count: on the Art-Net port, replies
// that other nodes broadcast to other controllers arrive as well.
std::vector<std::string> collectReplies(netio::Socket s, std::uint32_t target) {
  std::vector<std::string> found;
  Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(current.pollWindowMs);
  std::uint8_t buffer[1024];
  for (unsigned wait = millisUntil(deadline); wait > 0; wait = millisUntil(deadline)) {
    std::uint32_t from = 0;
    std::uint16_t fromPort = 0;
    const long n = netio::receiveFrom(s, buffer, sizeof buffer, wait, from, fromPort);
    if (n <= 0) continue;  // time-out, or an error about the poll itself
    if (!hostIsBroadcast && from != target) continue;
    PollReply reply;
    if (!parsePollReply(buffer, static_cast<std::size_t>(n), reply)) continue;
    const std::string text = listingText(reply, netio::addressText(from));
    bool known = false;
    for (const std::string& t : found) known = known || t == text;
    if (!known) found.push_back(text);
    // A named node answers at once; a broadcast poll waits for everyone.
    if (!hostIsBroadcast) {
      const auto settle = Clock::now() + std::chrono::milliseconds(current.settleMs);
      if (settle < deadline) deadline = settle;
    }
  }
  return found;
}

FT_STATUS FTAPI listDevices(void* pArg1, void* pArg2, FT_DWORD) {
  std::uint32_t target = 0;
  if (!netio::resolve(host, target, why)) return FT_DEVICE_NOT_FOUND;
  const netio::Socket s = netio::openUdp();
  if (s == netio::kNoSocket) {
    why = "cannot open a UDP socket: " + netio::lastErrorText();
    return FT_OTHER_ERROR;
  }
  // Nodes answer to the Art-Net port; when another program holds it, only
  // nodes that answer to the poll's own port can be heard.
  if (!netio::bindAny(s, current.replyPort)) netio::bindAny(s, 0);
  std::vector<std::string> found;
  const bool sent = sendPoll(s, target);
  if (sent) found = collectReplies(s, target);
  netio::closeSocket(s);
  if (!sent) return FT_IO_ERROR;

  char** slots = static_cast<char**>(pArg1);
  for (std::size_t i = 0; i < found.size() && slots[i] != nullptr; ++i) {
    std::strncpy(slots[i], found[i].c_str(), 63);
    slots[i][63] = '\0';
  }
  *static_cast<std::int32_t*>(pArg2) = static_cast<std::int32_t>(found.size());
  if (found.empty())
    why = "no Art-Net node answered an ArtPoll at " + host + " within " +
          std::to_string(current.pollWindowMs) + " ms";
  return FT_OK;
}

FT_STATUS FTAPI openEx(void* pArg1, FT_DWORD, FT_HANDLE* handle) {
  if (hostIsBroadcast) {
    why = host +
          " is a broadcast address: it lists nodes, but an upload goes to one node; name it with "
          "artnet:NODE-ADDRESS[:PORT-ADDRESS]";
    return FT_DEVICE_NOT_OPENED;
  }
  // The listed text starts with the node's address.
  std::string node = static_cast<const char*>(pArg1);
  node = node.substr(0, node.find(' '));
  if (node.empty()) {
    if (why.empty()) why = "no Art-Net node was listed at " + host;
    return FT_DEVICE_NOT_FOUND;
  }
  std::uint32_t address = 0;
  if (!netio::resolve(node, address, why)) return FT_DEVICE_NOT_FOUND;
  if (!udpOpen(link, address, current.nodePort, why)) return FT_DEVICE_NOT_OPENED;
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

FT_STATUS FTAPI write(FT_HANDLE h, void* buffer, FT_DWORD length, FT_DWORD* written) {
  *written = 0;
  if (!isOpen(h)) return FT_INVALID_HANDLE;
  const auto* bytes = static_cast<const std::uint8_t*>(buffer);
  if (length < 2 || length > 1 + kMaxSlots) {
    why = "an ArtNzs packet carries a start code and 1 to 512 slots, not " +
          std::to_string(length) + " bytes";
    return kInvalidParameter;
  }
  if (!nzsAllows(bytes[0])) {
    char code[8];
    std::snprintf(code, sizeof code, "0x%02X", bytes[0]);
    why = std::string("start code ") + code +
          " cannot travel in ArtNzs (neither the null start code nor RDM's may)";
    return kInvalidParameter;
  }
  std::uint8_t packet[kNzsHeaderSize + kMaxSlots];
  const std::uint8_t sequence = nextSequence(lastSequence[portAddress]);
  const std::size_t size = buildNzs(packet, sequence, portAddress, bytes, length);
  if (!udpSend(link, packet, size, "ArtNzs", why)) return FT_IO_ERROR;
  lastSequence[portAddress] = sequence;
  *written = length;
  return FT_OK;
}

FT_STATUS FTAPI close(FT_HANDLE h) {
  if (!isOpen(h)) return FT_INVALID_HANDLE;
  udpClose(link);
  return FT_OK;
}

const char* lastError() { return why.c_str(); }

const AdapterTable table = {"artnet",
                            "the network (UDP sockets)",
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
  const std::size_t colon = argument.find(':');
  std::string named = argument.substr(0, colon);
  std::uint16_t namedPort = 0;
  if (named.empty()) {
    error = "artnet needs the node's address: artnet:HOST[:PORT-ADDRESS]";
    return nullptr;
  }
  if (colon != std::string::npos && !parsePortAddress(argument.substr(colon + 1), namedPort, error))
    return nullptr;
  host = named;
  portAddress = namedPort;
  hostIsBroadcast = false;
  why.clear();
  return &table;
}

}  // namespace artnet
