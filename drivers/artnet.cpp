#include "drivers/artnet.h"

#include <chrono>
#include <cstdio>
#include <set>
#include <utility>
#include <vector>

#include "drivers/artnet_wire.h"
#include "drivers/netio.h"
#include "drivers/node_adapter.h"

namespace artnet {
namespace {

// Listing waits for replies from the network in real time, whatever clock
// the line runs on: they time the network, not the line.
using Clock = std::chrono::steady_clock;

// Whole milliseconds left, rounded up: a listing never ends before its window.
unsigned millisUntil(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<unsigned>((left.count() + 999) / 1000) : 0;
}

class ArtnetAdapter final : public NodeAdapter {
 public:
  ArtnetAdapter(std::string host, std::uint16_t portAddress, const Settings& settings)
      : NodeAdapter("artnet", "the network (UDP sockets)"),
        settings_(settings),
        host_(std::move(host)),
        portAddress_(portAddress) {}

  FT_STATUS FT_ListDevices(void* pArg1, void* pArg2, FT_DWORD) override {
    std::uint32_t target = 0;
    if (!netio::resolve(host_, target, why_)) return FT_DEVICE_NOT_FOUND;
    const netio::Socket s = netio::openUdp();
    if (s == netio::kNoSocket) {
      why_ = "cannot open a UDP socket: " + netio::lastErrorText();
      return FT_OTHER_ERROR;
    }
    // Nodes answer to the Art-Net port; when another program holds it, only
    // nodes that answer to the poll's own port can be heard.
    if (!netio::bindAny(s, settings_.replyPort)) netio::bindAny(s, 0);
    std::vector<std::string> found;
    const bool sent = sendPoll(s, target);
    if (sent) found = collectReplies(s, target);
    netio::closeSocket(s);
    if (!sent) return FT_IO_ERROR;

    for (std::size_t i = 0; i < found.size(); ++i)
      if (!putListed(pArg1, i, found[i])) break;
    *static_cast<std::int32_t*>(pArg2) = static_cast<std::int32_t>(found.size());
    if (found.empty())
      why_ = "no Art-Net node answered an ArtPoll at " + host_ + " within " +
             std::to_string(settings_.pollWindowMs) + " ms";
    return FT_OK;
  }

  std::string openingAdvice() const override {
    return "Check the node's address (uploader-cli list --adapter artnet:BROADCAST lists the "
           "nodes that answer),\nthat the node is on and that this computer is on its network "
           "(ping it; a firewall must let UDP 6454 through).\n";
  }

  FT_STATUS FT_OpenEx(void* pArg1, FT_DWORD, FT_HANDLE* handle) override {
    if (hostIsBroadcast_) {
      why_ = host_ +
             " is a broadcast address: it lists nodes, but an upload goes to one node; name it "
             "with artnet:NODE-ADDRESS[:PORT-ADDRESS]";
      return FT_DEVICE_NOT_OPENED;
    }
    // The listed text starts with the node's address.
    std::string node = static_cast<const char*>(pArg1);
    node = node.substr(0, node.find(' '));
    if (node.empty()) {
      if (why_.empty()) why_ = "no Art-Net node was listed at " + host_;
      return FT_DEVICE_NOT_FOUND;
    }
    std::uint32_t address = 0;
    if (!netio::resolve(node, address, why_)) return FT_DEVICE_NOT_FOUND;
    return openLink(address, settings_.nodePort, handle);
  }

  FT_STATUS FT_Write(FT_HANDLE h, void* buffer, FT_DWORD length, FT_DWORD* written) override {
    *written = 0;
    if (!isOpen(h)) return FT_INVALID_HANDLE;
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    if (length < 2 || length > 1 + kMaxSlots) {
      why_ = "an ArtNzs packet carries a start code and 1 to 512 slots, not " +
             std::to_string(length) + " bytes";
      return FT_INVALID_PARAMETER;
    }
    if (!nzsAllows(bytes[0])) {
      char code[8];
      std::snprintf(code, sizeof code, "0x%02X", bytes[0]);
      why_ = std::string("start code ") + code +
             " cannot travel in ArtNzs (neither the null start code nor RDM's may)";
      return FT_INVALID_PARAMETER;
    }
    std::uint8_t packet[kNzsHeaderSize + kMaxSlots];
    const std::uint8_t sequence = nextSequence(lastSequence_);
    const std::size_t size = buildNzs(packet, sequence, portAddress_, bytes, length);
    if (!udpSend(link_, packet, size, "ArtNzs", why_)) return FT_IO_ERROR;
    lastSequence_ = sequence;
    *written = length;
    return FT_OK;
  }

  FT_STATUS FT_Close(FT_HANDLE h) override {
    if (!isOpen(h)) return FT_INVALID_HANDLE;
    udpClose(link_);
    return FT_OK;
  }

 private:
  // Sends one ArtPoll to HOST; a broadcast address is allowed on a second try.
  bool sendPoll(netio::Socket s, std::uint32_t target) {
    std::uint8_t poll[kPollSize];
    buildPoll(poll);
    hostIsBroadcast_ = false;
    if (netio::sendTo(s, poll, sizeof poll, target, settings_.nodePort) == kPollSize) return true;
    if (netio::lastFailure() == netio::Failure::denied && netio::allowBroadcast(s, true)) {
      hostIsBroadcast_ = true;
      if (netio::sendTo(s, poll, sizeof poll, target, settings_.nodePort) == kPollSize) return true;
    }
    why_ = "sending ArtPoll to " + host_ + " failed: " + netio::lastErrorText();
    return false;
  }

  // Collects the listing texts of the nodes that answer within the window.
  // Polling one node, only its replies count: on the Art-Net port, replies
  // that other nodes broadcast to other controllers arrive as well.
  // A node answers once per bind index (one reply for each group of its
  // ports); a node that answers again, or floods the port with replies,
  // counts once per bind index all the same.
  std::vector<std::string> collectReplies(netio::Socket s, std::uint32_t target) {
    std::vector<std::string> found;
    std::set<std::pair<std::uint32_t, std::uint8_t>> heard;  // sender, bind index
    Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(settings_.pollWindowMs);
    std::uint8_t buffer[1024];
    for (unsigned wait = millisUntil(deadline); wait > 0; wait = millisUntil(deadline)) {
      std::uint32_t from = 0;
      std::uint16_t fromPort = 0;
      const long n = netio::receiveFrom(s, buffer, sizeof buffer, wait, from, fromPort);
      if (n <= 0) continue;  // time-out, or an error about the poll itself
      if (!hostIsBroadcast_ && from != target) continue;
      PollReply reply;
      if (!parsePollReply(buffer, static_cast<std::size_t>(n), reply)) continue;
      if (!heard.insert({from, reply.bindIndex}).second) continue;
      const std::string text = listingText(reply, netio::addressText(from));
      bool known = false;
      for (const std::string& t : found) known = known || t == text;
      if (!known) found.push_back(text);
      // A named node answers at once; a broadcast poll waits for everyone.
      if (!hostIsBroadcast_) {
        const auto settle = Clock::now() + std::chrono::milliseconds(settings_.settleMs);
        if (settle < deadline) deadline = settle;
      }
    }
    return found;
  }

  const Settings settings_;
  // What "artnet:HOST[:PORT-ADDRESS]" said.
  const std::string host_;
  const std::uint16_t portAddress_;
  // What the last listing found out about HOST: the opening refuses a broadcast address.
  bool hostIsBroadcast_ = false;
  std::uint8_t lastSequence_ = 0;
};

}  // namespace

bool parseTarget(const std::string& argument, std::string& host, std::uint16_t& portAddress,
                 std::string& error) {
  const std::size_t colon = argument.find(':');
  host = argument.substr(0, colon);
  portAddress = 0;
  if (host.empty()) {
    error = "artnet needs the node's address: artnet:HOST[:PORT-ADDRESS]";
    return false;
  }
  return colon == std::string::npos ||
         parsePortAddress(argument.substr(colon + 1), portAddress, error);
}

std::unique_ptr<Adapter> makeWith(const std::string& argument, const Settings& settings,
                                  std::string& error) {
  std::string named;
  std::uint16_t namedPort = 0;
  if (!parseTarget(argument, named, namedPort, error)) return nullptr;
  return std::make_unique<ArtnetAdapter>(named, namedPort, settings);
}

std::unique_ptr<Adapter> make(const std::string& argument, const DriverSettings&,
                              std::string& error) {
  return makeWith(argument, Settings{}, error);
}

}  // namespace artnet
