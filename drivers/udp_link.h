// One connected UDP socket to one receiver (an Art-Net or sACN node, or a
// multicast group), with the rule both network drivers follow: once the far
// end refused a packet or became unreachable, every later send fails too,
// because a send that seems to succeed past that point reaches nobody.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "drivers/netio.h"

struct UdpLink {
  netio::Socket socket = netio::kNoSocket;
  std::string destination;  // "address:port", for messages
  bool lost = false;        // the far end refused or became unreachable since the opening
};

// Opens a socket whose packets go to `address`:`port`. False with `why` filled in.
bool udpOpen(UdpLink& link, std::uint32_t address, std::uint16_t port, std::string& why);
// Sends one datagram; `what` names it in `why` when that fails.
bool udpSend(UdpLink& link, const void* data, std::size_t size, const char* what, std::string& why);
void udpClose(UdpLink& link);
inline bool udpIsOpen(const UdpLink& link) { return link.socket != netio::kNoSocket; }
