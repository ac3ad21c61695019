// The RDM conversation's socket: one UDP socket that sends to one Art-Net
// node and hears only that node. It is bound to the Art-Net port when that
// is free, since nodes broadcast ArtTodData there, else to any port (a node
// that answers to the sender's port is still heard), as the listing does.
#pragma once

#include <cstdint>
#include <string>

#include "drivers/artnet_rdm.h"
#include "drivers/netio.h"

namespace artnet {

class UdpRdmTransport final : public RdmTransport {
 public:
  UdpRdmTransport() = default;
  ~UdpRdmTransport() override;
  UdpRdmTransport(const UdpRdmTransport&) = delete;
  UdpRdmTransport& operator=(const UdpRdmTransport&) = delete;

  // Opens the socket for `host`:`nodePort`, listening on `replyPort` (0: any
  // free port). False with `why`.
  bool open(const std::string& host, std::uint16_t nodePort, std::uint16_t replyPort,
            std::string& why);
  bool send(const std::vector<std::uint8_t>& packet, std::string& why) override;
  long receive(std::uint8_t* buffer, std::size_t capacity, unsigned timeoutMs) override;

 private:
  netio::Socket socket_ = netio::kNoSocket;
  std::uint32_t node_ = 0;
  std::uint16_t nodePort_ = 0;
  std::string host_;
};

}  // namespace artnet
