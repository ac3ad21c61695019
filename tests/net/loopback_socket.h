// The tests' own UDP socket, written apart from the drivers' socket code so
// that the two cannot share a mistake: bound to a loopback address and
// sending only to 127.0.0.1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace testnet {

inline constexpr std::uint32_t kLoopback = 0x7F000001;

struct Datagram {
  std::vector<std::uint8_t> bytes;
  std::uint32_t fromAddress = 0;  // host byte order
  std::uint16_t fromPort = 0;
};

class LoopbackSocket {
 public:
  // Bound to 127.0.0.1:`port` (or another loopback address), or a free port when 0.
  explicit LoopbackSocket(std::uint16_t port = 0, std::uint32_t address = kLoopback);
  ~LoopbackSocket();
  LoopbackSocket(const LoopbackSocket&) = delete;
  LoopbackSocket& operator=(const LoopbackSocket&) = delete;

  bool good() const { return handle_ >= 0; }
  std::uint16_t port() const { return port_; }
  // Waits up to `timeoutMs` for one datagram.
  bool receive(Datagram& out, unsigned timeoutMs);
  // To 127.0.0.1:`port`.
  bool sendTo(const void* data, std::size_t size, std::uint16_t port);

 private:
  long long handle_ = -1;
  std::uint16_t port_ = 0;
};

}  // namespace testnet
