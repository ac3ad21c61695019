// The operating system's side of the network drivers: IPv4 UDP sockets over
// BSD sockets or Winsock, their error texts, and the folder where the user's
// settings live. Everything here is thin; the drivers hold the logic.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace netio {

using Socket = std::intptr_t;
inline constexpr Socket kNoSocket = -1;

// What kind of failure an error code stands for, as far as the drivers care.
enum class Failure : std::uint8_t {
  none,
  refused,      // nobody listens at the far end (ICMP port unreachable)
  unreachable,  // no route to the host or network
  denied,       // a broadcast address without the broadcast option, or a firewall
  wouldBlock,   // nothing to read yet
  other,
};

// Makes sockets usable (WSAStartup on Windows). False with `error` filled in.
bool startup(std::string& error);

// A new IPv4 UDP socket; kNoSocket on failure.
Socket openUdp();
void closeSocket(Socket s);

// The IPv4 address (host byte order) `host` names: dotted quad or a name.
bool resolve(const std::string& host, std::uint32_t& address, std::string& error);
std::string addressText(std::uint32_t address);

// Binds to the given local port on every interface (0: any free port),
// allowing the port to be shared with other listeners.
bool bindAny(Socket s, std::uint16_t port);
// Binds to the given local port on every interface for this socket alone:
// fails when any other socket (of this or another program) holds it.
bool bindExclusive(Socket s, std::uint16_t port);
// The local port the socket is bound to; 0 when unknown.
std::uint16_t localPort(Socket s);
bool allowBroadcast(Socket s, bool allow);
// Fixes the far end, so that send() goes there and errors about it come back.
bool connectTo(Socket s, std::uint32_t address, std::uint16_t port);

// Bytes sent, or -1 on failure (lastFailure()/lastErrorText() say why).
long send(Socket s, const void* data, std::size_t length);
long sendTo(Socket s, const void* data, std::size_t length, std::uint32_t address,
            std::uint16_t port);
// Waits up to `timeoutMs` for one datagram. Bytes received, 0 on time-out, -1 on failure.
long receiveFrom(Socket s, void* buffer, std::size_t capacity, unsigned timeoutMs,
                 std::uint32_t& fromAddress, std::uint16_t& fromPort);

// The last socket call's failure, kind and text.
Failure lastFailure();
std::string lastErrorText();

// The user's settings folder for this program ($XDG_CONFIG_HOME or
// ~/.config on Linux, %APPDATA% on Windows) joined with `program`; empty
// when none can be found.
std::string userConfigDir(const char* program);

}  // namespace netio
