#include "drivers/artnet_rdm_udp.h"

namespace artnet {

UdpRdmTransport::~UdpRdmTransport() { netio::closeSocket(socket_); }

bool UdpRdmTransport::open(const std::string& host, std::uint16_t nodePort, std::uint16_t replyPort,
                           std::string& why) {
  if (!netio::startup(why) || !netio::resolve(host, node_, why)) return false;
  host_ = host;
  nodePort_ = nodePort;
  socket_ = netio::openUdp();
  if (socket_ == netio::kNoSocket) {
    why = "cannot open a UDP socket: " + netio::lastErrorText();
    return false;
  }
  if (!netio::bindAny(socket_, replyPort) && !netio::bindAny(socket_, 0)) {
    why = "cannot bind a UDP socket: " + netio::lastErrorText();
    return false;
  }
  return true;
}

bool UdpRdmTransport::send(const std::vector<std::uint8_t>& packet, std::string& why) {
  if (netio::sendTo(socket_, packet.data(), packet.size(), node_, nodePort_) ==
      static_cast<long>(packet.size()))
    return true;
  const bool denied = netio::lastFailure() == netio::Failure::denied;
  why = "sending to the Art-Net node " + host_ + " failed: " + netio::lastErrorText();
  if (denied) why += " (RDM goes to one node: name the node's own address, not a broadcast one)";
  return false;
}

long UdpRdmTransport::receive(std::uint8_t* buffer, std::size_t capacity, unsigned timeoutMs) {
  std::uint32_t from = 0;
  std::uint16_t fromPort = 0;
  const long n = netio::receiveFrom(socket_, buffer, capacity, timeoutMs, from, fromPort);
  if (n < 0) {
    // An earlier datagram refused by the far end shows here; nothing to read yet.
    const netio::Failure f = netio::lastFailure();
    return f == netio::Failure::refused || f == netio::Failure::wouldBlock ? 0 : -1;
  }
  return n > 0 && from == node_ ? n : 0;
}

}  // namespace artnet
