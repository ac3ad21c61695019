#include <winsock2.h>
#include <ws2tcpip.h>
// winsock2.h must come before windows.h
#include <windows.h>

#include <cstdlib>
#include <mutex>

#include "drivers/netio.h"

namespace netio {
namespace {

// The last socket call's failure, as WSAGetLastError is: one per thread,
// so that lines on several threads each read their own.
thread_local int lastCode = 0;
// Winsock's own state is the process's: WSAStartup once for every adapter.
std::mutex startupLock;
bool started = false;

sockaddr_in endpoint(std::uint32_t address, std::uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(address);
  a.sin_port = htons(port);
  return a;
}

SOCKET native(Socket s) { return static_cast<SOCKET>(s); }

bool ok(int result) {
  if (result == 0) return true;
  lastCode = WSAGetLastError();
  return false;
}

long counted(int n) {
  if (n == SOCKET_ERROR) {
    lastCode = WSAGetLastError();
    return -1;
  }
  return n;
}

std::string systemText(DWORD code) {
  char text[256] = "";
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                 sizeof text, nullptr);
  std::string why = text;
  while (!why.empty() && (why.back() == '\n' || why.back() == '\r' || why.back() == ' '))
    why.pop_back();
  if (why.empty()) why = "Winsock error " + std::to_string(code);
  return why;
}

}  // namespace

bool startup(std::string& error) {
  std::lock_guard<std::mutex> lock(startupLock);
  if (started) return true;
  WSADATA data;
  const int rc = WSAStartup(MAKEWORD(2, 2), &data);
  if (rc != 0) {
    error = "Winsock 2.2 is not available: " + systemText(static_cast<DWORD>(rc));
    return false;
  }
  started = true;
  return true;
}

Socket openUdp() {
  const SOCKET s = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (s == INVALID_SOCKET) {
    lastCode = WSAGetLastError();
    return kNoSocket;
  }
  return static_cast<Socket>(s);
}

void closeSocket(Socket s) {
  if (s != kNoSocket) ::closesocket(native(s));
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
    error = "cannot find host \"" + host + "\": " + systemText(static_cast<DWORD>(rc));
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
  const BOOL yes = TRUE;
  setsockopt(native(s), SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&yes), sizeof yes);
  const sockaddr_in a = endpoint(INADDR_ANY, port);
  return ok(::bind(native(s), reinterpret_cast<const sockaddr*>(&a), sizeof a));
}

// Windows lets a socket with SO_REUSEADDR take a port another holds, unless
// the holder asked for it alone.
bool bindExclusive(Socket s, std::uint16_t port) {
  const BOOL yes = TRUE;
  setsockopt(native(s), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&yes),
             sizeof yes);
  const sockaddr_in a = endpoint(INADDR_ANY, port);
  return ok(::bind(native(s), reinterpret_cast<const sockaddr*>(&a), sizeof a));
}

std::uint16_t localPort(Socket s) {
  sockaddr_in a{};
  int size = sizeof a;
  if (getsockname(native(s), reinterpret_cast<sockaddr*>(&a), &size) != 0) return 0;
  return ntohs(a.sin_port);
}

bool allowBroadcast(Socket s, bool allow) {
  const BOOL value = allow ? TRUE : FALSE;
  return ok(setsockopt(native(s), SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&value),
                       sizeof value));
}

bool connectTo(Socket s, std::uint32_t address, std::uint16_t port) {
  const sockaddr_in a = endpoint(address, port);
  return ok(::connect(native(s), reinterpret_cast<const sockaddr*>(&a), sizeof a));
}

long send(Socket s, const void* data, std::size_t length) {
  return counted(::send(native(s), static_cast<const char*>(data), static_cast<int>(length), 0));
}

long sendTo(Socket s, const void* data, std::size_t length, std::uint32_t address,
            std::uint16_t port) {
  const sockaddr_in a = endpoint(address, port);
  return counted(::sendto(native(s), static_cast<const char*>(data), static_cast<int>(length), 0,
                          reinterpret_cast<const sockaddr*>(&a), sizeof a));
}

long receiveFrom(Socket s, void* buffer, std::size_t capacity, unsigned timeoutMs,
                 std::uint32_t& fromAddress, std::uint16_t& fromPort) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(native(s), &readable);
  timeval wait{static_cast<long>(timeoutMs / 1000), static_cast<long>((timeoutMs % 1000) * 1000)};
  const int ready = select(0, &readable, nullptr, nullptr, &wait);
  if (ready == SOCKET_ERROR) {
    lastCode = WSAGetLastError();
    return -1;
  }
  if (ready == 0) return 0;
  sockaddr_in from{};
  int size = sizeof from;
  const long n =
      counted(::recvfrom(native(s), static_cast<char*>(buffer), static_cast<int>(capacity), 0,
                         reinterpret_cast<sockaddr*>(&from), &size));
  fromAddress = ntohl(from.sin_addr.s_addr);
  fromPort = ntohs(from.sin_port);
  return n;
}

Failure lastFailure() {
  switch (lastCode) {
    case 0:
      return Failure::none;
    case WSAECONNREFUSED:
    case WSAECONNRESET:  // how Winsock reports an ICMP port unreachable on UDP
      return Failure::refused;
    case WSAEHOSTUNREACH:
    case WSAENETUNREACH:
    case WSAEHOSTDOWN:
    case WSAENETDOWN:
      return Failure::unreachable;
    case WSAEACCES:
      return Failure::denied;
    case WSAEWOULDBLOCK:
      return Failure::wouldBlock;
    default:
      return Failure::other;
  }
}

std::string lastErrorText() { return systemText(static_cast<DWORD>(lastCode)); }

// Only an absolute APPDATA (a drive's C:\... or a share's \\server\...): a relative
// one would put the settings under whatever the working directory happens to be.
std::string userConfigDir(const char* program) {
  const char* appData = std::getenv("APPDATA");
  if (appData == nullptr) return {};
  const std::string dir = appData;
  const auto slash = [](char c) { return c == '\\' || c == '/'; };
  const bool drive = dir.size() >= 3 && dir[1] == ':' && slash(dir[2]);
  const bool share = dir.size() >= 2 && slash(dir[0]) && slash(dir[1]);
  if (!drive && !share) return {};
  return dir + "\\" + program;
}

}  // namespace netio
