#include "drivers/udp_link.h"

bool udpOpen(UdpLink& link, std::uint32_t address, std::uint16_t port, std::string& why) {
  udpClose(link);
  link.destination = netio::addressText(address) + ":" + std::to_string(port);
  link.socket = netio::openUdp();
  if (link.socket == netio::kNoSocket || !netio::connectTo(link.socket, address, port)) {
    why = "cannot open a UDP socket to " + link.destination + ": " + netio::lastErrorText();
    udpClose(link);
    return false;
  }
  link.lost = false;
  return true;
}

bool udpSend(UdpLink& link, const void* data, std::size_t size, const char* what,
             std::string& why) {
  if (!udpIsOpen(link)) {
    why = std::string("cannot send ") + what + ": nothing is open";
    return false;
  }
  if (link.lost) return false;  // `why` still tells what happened
  if (netio::send(link.socket, data, size) == static_cast<long>(size)) return true;
  const netio::Failure failure = netio::lastFailure();
  why = std::string("sending ") + what + " to " + link.destination +
        " failed: " + netio::lastErrorText();
  if (failure == netio::Failure::refused) why += " (nothing listens there)";
  link.lost = failure == netio::Failure::refused || failure == netio::Failure::unreachable;
  return false;
}

void udpClose(UdpLink& link) {
  netio::closeSocket(link.socket);
  link.socket = netio::kNoSocket;
}
