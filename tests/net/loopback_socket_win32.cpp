#include <winsock2.h>
#include <ws2tcpip.h>

#include "tests/net/loopback_socket.h"

namespace testnet {
namespace {

SOCKET native(long long h) { return static_cast<SOCKET>(h); }

}  // namespace

LoopbackSocket::LoopbackSocket(std::uint16_t port, std::uint32_t address) {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return;
  const SOCKET s = ::socket(AF_INET, SOCK_DGRAM, 0);
  if (s == INVALID_SOCKET) return;
  const int big = 4 << 20;
  setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&big), sizeof big);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(address);
  a.sin_port = htons(port);
  int size = sizeof a;
  if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&a), &size) != 0) {
    closesocket(s);
    return;
  }
  handle_ = static_cast<long long>(s);
  port_ = ntohs(a.sin_port);
}

LoopbackSocket::~LoopbackSocket() {
  if (handle_ >= 0) closesocket(native(handle_));
  WSACleanup();
}

bool LoopbackSocket::receive(Datagram& out, unsigned timeoutMs) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(native(handle_), &readable);
  timeval wait{static_cast<long>(timeoutMs / 1000), static_cast<long>((timeoutMs % 1000) * 1000)};
  if (select(0, &readable, nullptr, nullptr, &wait) <= 0) return false;
  char buffer[2048];
  sockaddr_in from{};
  int size = sizeof from;
  const int n = recvfrom(native(handle_), buffer, sizeof buffer, 0,
                         reinterpret_cast<sockaddr*>(&from), &size);
  if (n < 0) return false;
  out.bytes.assign(reinterpret_cast<std::uint8_t*>(buffer),
                   reinterpret_cast<std::uint8_t*>(buffer) + n);
  out.fromAddress = ntohl(from.sin_addr.s_addr);
  out.fromPort = ntohs(from.sin_port);
  return true;
}

bool LoopbackSocket::sendTo(const void* data, std::size_t size, std::uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(kLoopback);
  a.sin_port = htons(port);
  return sendto(native(handle_), static_cast<const char*>(data), static_cast<int>(size), 0,
                reinterpret_cast<sockaddr*>(&a), sizeof a) == static_cast<int>(size);
}

}  // namespace testnet
