#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tests/net/loopback_socket.h"

namespace testnet {

LoopbackSocket::LoopbackSocket(std::uint16_t port, std::uint32_t address) {
  const int s = ::socket(AF_INET, SOCK_DGRAM, 0);
  if (s < 0) return;
  const int big = 4 << 20;  // room for a whole burst of frames
  setsockopt(s, SOL_SOCKET, SO_RCVBUF, &big, sizeof big);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(address);
  a.sin_port = htons(port);
  socklen_t size = sizeof a;
  if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&a), &size) != 0) {
    ::close(s);
    return;
  }
  handle_ = s;
  port_ = ntohs(a.sin_port);
}

LoopbackSocket::~LoopbackSocket() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

bool LoopbackSocket::receive(Datagram& out, unsigned timeoutMs) {
  const int s = static_cast<int>(handle_);
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(s, &readable);
  timeval wait{static_cast<time_t>(timeoutMs / 1000),
               static_cast<suseconds_t>((timeoutMs % 1000) * 1000)};
  if (select(s + 1, &readable, nullptr, nullptr, &wait) <= 0) return false;
  std::uint8_t buffer[2048];
  sockaddr_in from{};
  socklen_t size = sizeof from;
  const ssize_t n =
      recvfrom(s, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &size);
  if (n < 0) return false;
  out.bytes.assign(buffer, buffer + n);
  out.fromAddress = ntohl(from.sin_addr.s_addr);
  out.fromPort = ntohs(from.sin_port);
  return true;
}

bool LoopbackSocket::sendTo(const void* data, std::size_t size, std::uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(kLoopback);
  a.sin_port = htons(port);
  return sendto(static_cast<int>(handle_), data, size, 0, reinterpret_cast<sockaddr*>(&a),
                sizeof a) == static_cast<ssize_t>(size);
}

}  // namespace testnet
