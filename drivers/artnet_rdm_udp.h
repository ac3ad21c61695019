// The RDM conversation's socket: this process's Art-Net port (the hub),
// sending to one Art-Net node and hearing only what that node says about
// one port address (its ArtTodData and ArtRdm), so that conversations with
// several ports of one node, or several nodes, run at once without taking
// each other's answers.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "drivers/artnet_hub.h"
#include "drivers/artnet_rdm.h"

namespace artnet {

class UdpRdmTransport final : public RdmTransport {
 public:
  UdpRdmTransport() = default;
  ~UdpRdmTransport() override;
  UdpRdmTransport(const UdpRdmTransport&) = delete;
  UdpRdmTransport& operator=(const UdpRdmTransport&) = delete;

  // Opens the conversation with `host`:`nodePort` about `portAddress`,
  // listening on `replyPort` (0: any free port). False with `why`.
  bool open(const std::string& host, std::uint16_t portAddress, std::uint16_t nodePort,
            std::uint16_t replyPort, std::string& why);
  bool send(const std::vector<std::uint8_t>& packet, std::string& why) override;
  long receive(std::uint8_t* buffer, std::size_t capacity, unsigned timeoutMs) override;
  // Empty, or why some nodes may not be heard (the Art-Net port is taken).
  std::string portNote() const { return hub_ ? hub_->portNote() : std::string(); }

 private:
  std::shared_ptr<Hub> hub_;
  std::shared_ptr<Mailbox> mailbox_;
  std::uint32_t node_ = 0;
  std::uint16_t nodePort_ = 0;
  std::string host_;
};

}  // namespace artnet
