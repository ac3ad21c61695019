#include "drivers/artnet_rdm_udp.h"

#include <algorithm>
#include <cstring>

#include "drivers/artnet_rdm_wire.h"

namespace artnet {

UdpRdmTransport::~UdpRdmTransport() {
  if (hub_ && mailbox_) hub_->stopListening(mailbox_);
}

bool UdpRdmTransport::open(const std::string& host, std::uint16_t portAddress,
                           std::uint16_t nodePort, std::uint16_t replyPort, std::string& why) {
  if (!netio::startup(why) || !netio::resolve(host, node_, why)) return false;
  host_ = host;
  nodePort_ = nodePort;
  hub_ = Hub::get(replyPort, why);
  if (hub_ == nullptr) return false;
  mailbox_ = hub_->listen({node_, [portAddress](const std::uint8_t* data, std::size_t n) {
                             std::uint16_t about = 0;
                             return rdmPacketPort(data, n, about) && about == portAddress;
                           }});
  return true;
}

bool UdpRdmTransport::send(const std::vector<std::uint8_t>& packet, std::string& why) {
  std::string failure;
  if (hub_->sendTo(packet.data(), packet.size(), node_, nodePort_, failure)) return true;
  const bool denied = netio::lastFailure() == netio::Failure::denied;
  why = "sending to the Art-Net node " + host_ + " failed: " + failure;
  if (denied) why += " (RDM goes to one node: name the node's own address, not a broadcast one)";
  return false;
}

long UdpRdmTransport::receive(std::uint8_t* buffer, std::size_t capacity, unsigned timeoutMs) {
  HeardDatagram d;
  if (!mailbox_->take(d, timeoutMs)) return 0;
  const std::size_t n = std::min(capacity, d.bytes.size());
  std::memcpy(buffer, d.bytes.data(), n);
  return static_cast<long>(n);
}

}  // namespace artnet
