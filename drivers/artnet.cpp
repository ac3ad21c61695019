#include "drivers/artnet.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "drivers/artnet_hub.h"
#include "drivers/artnet_wire.h"
#include "drivers/netio.h"
#include "drivers/node_adapter.h"

namespace artnet {
namespace {

// Why a poll of `host` found nothing, with what the port's holder means for it.
std::string noAnswer(const std::string& host, const Settings& settings, const Hub& hub) {
  std::string why = "no Art-Net node answered an ArtPoll at " + host + " within " +
                    std::to_string(settings.pollWindowMs) + " ms";
  if (!hub.portNote().empty()) why += " (" + hub.portNote() + ")";
  return why;
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
    if (hub_ == nullptr) hub_ = Hub::get(settings_.replyPort, why_);
    if (hub_ == nullptr) return FT_OTHER_ERROR;
    const PollResult polled =
        hub_->poll(target, settings_.nodePort, settings_.pollWindowMs, settings_.settleMs);
    hostIsBroadcast_ = polled.broadcast;
    if (!polled.sent) {
      why_ = "sending ArtPoll to " + host_ + " failed: " + polled.why;
      return FT_IO_ERROR;
    }
    std::vector<std::string> found;
    for (const PollAnswer& a : polled.answers) {
      const std::string text = listingText(a.reply, netio::addressText(a.from));
      if (std::find(found.begin(), found.end(), text) == found.end()) found.push_back(text);
    }
    for (std::size_t i = 0; i < found.size(); ++i)
      if (!putListed(pArg1, i, found[i])) break;
    *static_cast<std::int32_t*>(pArg2) = static_cast<std::int32_t>(found.size());
    if (found.empty()) {
      why_ = noAnswer(host_, settings_, *hub_);
    }
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
  const Settings settings_;
  // What "artnet:HOST[:PORT-ADDRESS]" said.
  const std::string host_;
  const std::uint16_t portAddress_;
  // What the last listing found out about HOST: the opening refuses a broadcast address.
  bool hostIsBroadcast_ = false;
  // This process's Art-Net port, shared with every other line.
  std::shared_ptr<Hub> hub_;
  std::uint8_t lastSequence_ = 0;
};

}  // namespace

bool parseTarget(const std::string& argument, std::string& host, std::uint16_t& portAddress,
                 std::string& error) {
  const std::size_t colon = argument.find(':');
  host = argument.substr(0, colon);
  portAddress = 0;
  if (host.empty()) {
    error = "artnet needs the node's address: artnet:HOST[:PORT-ADDRESS|:all]";
    return false;
  }
  if (colon != std::string::npos && argument.substr(colon + 1) == kAllPorts) {
    error = "artnet:" + argument + " names every port of a node: it makes lines, not one adapter";
    return false;
  }
  return colon == std::string::npos ||
         parsePortAddress(argument.substr(colon + 1), portAddress, error);
}

bool nodeLinesWith(const std::string& host, const Settings& settings,
                   std::vector<ListedNode>& nodes, std::string& why) {
  std::uint32_t target = 0;
  if (!netio::resolve(host, target, why)) return false;
  const std::shared_ptr<Hub> hub = Hub::get(settings.replyPort, why);
  if (hub == nullptr) return false;
  const PollResult polled =
      hub->poll(target, settings.nodePort, settings.pollWindowMs, settings.settleMs);
  if (!polled.sent) {
    why = "sending ArtPoll to " + host + " failed: " + polled.why;
    return false;
  }
  std::map<std::uint32_t, std::size_t> nodeOf;             // address: index in `nodes`
  std::set<std::pair<std::uint32_t, std::uint16_t>> seen;  // a port listed twice counts once
  for (const PollAnswer& a : polled.answers) {
    const std::string address = netio::addressText(a.from);
    auto [at, fresh] = nodeOf.emplace(a.from, nodes.size());
    if (fresh)
      nodes.push_back(
          {address + " " + (a.reply.shortName.empty() ? a.reply.longName : a.reply.shortName), {}});
    for (const OutputPort& port : outputPorts(a.reply)) {
      if (!seen.insert({a.from, port.portAddress}).second) continue;
      nodes[at->second].lines.push_back(
          {"artnet:" + address + ":" + portAddressText(port.portAddress),
           port.rdm ? "RDM" : "no RDM"});
    }
  }
  if (nodes.empty()) why = noAnswer(host, settings, *hub);
  return true;
}

bool nodeLines(const std::string& host, std::vector<ListedNode>& nodes, std::string& why) {
  return nodeLinesWith(host, Settings{}, nodes, why);
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
