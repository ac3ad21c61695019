// What an Art-Net node may send back to the RDM conversation: every
// datagram it reads is made up from the input (hostile lengths, checksums,
// response types, ACK_TIMER times, table blocks). Reading a table and a
// fixture must end, without a crash, within the time its bounds allow.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "drivers/artnet_rdm.h"
#include "drivers/artnet_rdm_wire.h"

namespace {

// Time passes only when asked to wait: for a datagram that does not come,
// or for an ACK_TIMER.
class VirtualClock final : public Clock {
 public:
  void pause(unsigned ms) override { now += std::int64_t{ms} * 1000; }
  std::int64_t nowMicros() override { return now; }
  void pauseUntil(std::int64_t deadline) override {
    if (deadline > now) now = deadline;
  }
  std::int64_t now = 0;
};

// Hands out the input as datagrams: a length byte, then that many bytes.
// A length byte with its top bit set also makes an ArtRdm answer carry the
// last request's transaction number and a right checksum, so that made-up
// answers get past the matching and into the response types.
class InputNode final : public artnet::RdmTransport {
 public:
  InputNode(const std::uint8_t* data, std::size_t size, VirtualClock& clock)
      : data_(data), size_(size), clock_(clock) {}
  bool send(const std::vector<std::uint8_t>& packet, std::string&) override {
    if (packet.size() > 39) transaction_ = packet[38];  // ArtRdm: 24 + RDM byte 15 - 1
    return true;
  }
  long receive(std::uint8_t* buffer, std::size_t capacity, unsigned timeoutMs) override {
    if (at_ >= size_) {
      clock_.pause(timeoutMs);
      return 0;
    }
    const bool fix = (data_[at_] & 0x80) != 0;
    std::size_t n = data_[at_++] & 0x7F;
    n = n * 4 > capacity ? capacity : n * 4;  // up to 508 bytes
    if (n > size_ - at_) n = size_ - at_;
    std::copy(data_ + at_, data_ + at_ + n, buffer);
    at_ += n;
    if (fix && n > 24 + 26) {
      buffer[24 + 14] = transaction_;
      const std::size_t declared = buffer[24 + 1] + 24 - 1;
      if (declared + 2 <= n && declared >= 24) {
        unsigned sum = rdm::kStartCode;
        for (std::size_t i = 24; i < declared; ++i) sum += buffer[i];
        buffer[declared] = static_cast<std::uint8_t>(sum >> 8);
        buffer[declared + 1] = static_cast<std::uint8_t>(sum);
      }
    }
    return static_cast<long>(n);
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
  std::uint8_t transaction_ = 0;
  VirtualClock& clock_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  VirtualClock clock;
  InputNode node(data, size, clock);
  const artnet::RdmTimeouts t;
  artnet::RdmConversation rdm(node, clock, 0x0001, artnet::kDefaultController, t);
  std::vector<rdm::Uid> uids;
  std::string why;
  rdm.readTod(uids, why);
  if (clock.now > std::int64_t{t.todMs} * 1000 + 1000) std::abort();
  const std::int64_t begun = clock.now;
  artnet::readFixture(rdm, uids.empty() ? rdm::Uid{0x29A9, 1} : uids.front(), true);
  // Four GETs, each: its unanswered requests, its ACK_TIMER rounds and their waits.
  const std::int64_t perGet =
      std::int64_t{t.replyMs} * (t.tries + t.ackTimerRounds + 1) + t.ackTimerTotalMs;
  if (clock.now - begun > 4 * perGet * 1000 + 1000) std::abort();
  return 0;
}
