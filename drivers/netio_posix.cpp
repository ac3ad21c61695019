#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "drivers/netio.h"

namespace netio {
namespace {

// The last socket call's failure, as errno is: one per thread, so that
// lines on several threads each read their own.
thread_local int lastCode = 0;

sockaddr_in endpoint(std::uint32_t address, std::uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(address);
  a.sin_port = htons(port);
  return a;
}

bool ok(int result) {
  if (result == 0) return true;
  lastCode = errno;
  return false;
}

long counted(ssize_t n) {
  if (n < 0) {
    lastCode = errno;
    return -1;
  }
  return static_cast<long>(n);
}

}  // namespace

bool startup(std::string&) { return true; }

Socket openUdp() {
  const int s = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (s < 0) lastCode = errno;
  return s < 0 ? kNoSocket : static_cast<Socket>(s);
}

void closeSocket(Socket s) {
  if (s != kNoSocket) ::close(static_cast<int>(s));
}

bool resolve(const std::string& host, std::uint32_t& address, std::string& error) {
  in_addr direct{};
  if (inet_pton(AF_INET, host.c_str(), &direct) == 1) {
    address = ntohl(direct.s_addr);
    return true;
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  const int rc = getaddrinfo(host.c_str(), nullptr, &hints, &found);
  if (rc != 0 || found == nullptr) {
    error = std::string("cannot find host \"") + host + "\": " + gai_strerror(rc);
    return false;
  }
  address = ntohl(reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
  freeaddrinfo(found);
  return true;
}

std::string addressText(std::uint32_t address) {
  in_addr a{};
  a.s_addr = htonl(address);
  char text[INET_ADDRSTRLEN] = "";
  inet_ntop(AF_INET, &a, text, sizeof text);
  return text;
}

bool bindAny(Socket s, std::uint16_t port) {
  const int yes = 1;
  setsockopt(static_cast<int>(s), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  const sockaddr_in a = endpoint(INADDR_ANY, port);
  return ok(::bind(static_cast<int>(s), reinterpret_cast<const sockaddr*>(&a), sizeof a));
}

bool bindExclusive(Socket s, std::uint16_t port) {
  const sockaddr_in a = endpoint(INADDR_ANY, port);
  return ok(::bind(static_cast<int>(s), reinterpret_cast<const sockaddr*>(&a), sizeof a));
}

std::uint16_t localPort(Socket s) {
  sockaddr_in a{};
  socklen_t size = sizeof a;
  if (getsockname(static_cast<int>(s), reinterpret_cast<sockaddr*>(&a), &size) != 0) return 0;
  return ntohs(a.sin_port);
}

bool allowBroadcast(Socket s, bool allow) {
  const int value = allow ? 1 : 0;
  return ok(setsockopt(static_cast<int>(s), SOL_SOCKET, SO_BROADCAST, &value, sizeof value));
}

bool connectTo(Socket s, std::uint32_t address, std::uint16_t port) {
  const sockaddr_in a = endpoint(address, port);
  return ok(::connect(static_cast<int>(s), reinterpret_cast<const sockaddr*>(&a), sizeof a));
}

long send(Socket s, const void* data, std::size_t length) {
  return counted(::send(static_cast<int>(s), data, length, MSG_NOSIGNAL));
}

long sendTo(Socket s, const void* data, std::size_t length, std::uint32_t address,
            std::uint16_t port) {
  const sockaddr_in a = endpoint(address, port);
  return counted(::sendto(static_cast<int>(s), data, length, MSG_NOSIGNAL,
                          reinterpret_cast<const sockaddr*>(&a), sizeof a));
}

long receiveFrom(Socket s, void* buffer, std::size_t capacity, unsigned timeoutMs,
                 std::uint32_t& fromAddress, std::uint16_t& fromPort) {
  const int fd = static_cast<int>(s);
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(fd, &readable);
  timeval wait{static_cast<time_t>(timeoutMs / 1000),
               static_cast<suseconds_t>((timeoutMs % 1000) * 1000)};
  const int ready = select(fd + 1, &readable, nullptr, nullptr, &wait);
  if (ready < 0) {
    lastCode = errno;
    return errno == EINTR ? 0 : -1;
  }
  if (ready == 0) return 0;
  sockaddr_in from{};
  socklen_t size = sizeof from;
  const long n =
      counted(::recvfrom(fd, buffer, capacity, 0, reinterpret_cast<sockaddr*>(&from), &size));
  fromAddress = ntohl(from.sin_addr.s_addr);
  fromPort = ntohs(from.sin_port);
  return n;
}

Failure lastFailure() {
  switch (lastCode) {
    case 0:
      return Failure::none;
    case ECONNREFUSED:
      return Failure::refused;
    case EHOSTUNREACH:
    case ENETUNREACH:
    case EHOSTDOWN:
    case ENETDOWN:
      return Failure::unreachable;
    case EACCES:
    case EPERM:
      return Failure::denied;
    case EAGAIN:
      return Failure::wouldBlock;
    default:
      return Failure::other;
  }
}

std::string lastErrorText() { return std::strerror(lastCode); }

// XDG base directories: a path that is not absolute is ignored, so that
// settings never land under whatever the working directory happens to be.
std::string userConfigDir(const char* program) {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && xdg[0] == '/') return std::string(xdg) + "/" + program;
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return std::string(home) + "/.config/" + program;
  return {};
}

}  // namespace netio
