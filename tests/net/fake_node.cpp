#include "tests/net/fake_node.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace testnet {
namespace {

bool isArtPoll(const std::vector<std::uint8_t>& b) {
  return b.size() >= 12 && std::memcmp(b.data(), "Art-Net\0", 8) == 0 && b[8] == 0x00 &&
         b[9] == 0x20;
}

}  // namespace

std::vector<std::uint8_t> pollReplyFor(const NodeIdentity& id) {
  std::vector<std::uint8_t> r(239, 0);
  std::memcpy(r.data(), "Art-Net\0", 8);
  r[8] = 0x00;  // OpPollReply, low byte first
  r[9] = 0x21;
  r[10] = 127;  // IP address
  r[13] = 1;
  r[14] = 0x36;  // port 0x1936, low byte first
  r[15] = 0x19;
  r[18] = id.net;
  r[19] = id.sub;
  std::memcpy(&r[26], id.shortName.data(), std::min<std::size_t>(id.shortName.size(), 17));
  std::memcpy(&r[44], id.longName.data(), std::min<std::size_t>(id.longName.size(), 63));
  r[173] = static_cast<std::uint8_t>(id.outputs.size());  // NumPorts, low byte
  for (std::size_t i = 0; i < id.outputs.size() && i < 4; ++i) {
    r[174 + i] = 0x80;  // PortTypes: DMX512 output
    r[190 + i] = id.outputs[i];
    r[213 + i] = (id.rdmOffMask >> i & 1) != 0 ? 0x80 : 0x00;  // GoodOutputB
  }
  r[211] = id.bindIndex;
  return r;
}

FakeNode::FakeNode(std::vector<NodeIdentity> identities, std::uint32_t address,
                   std::uint16_t udpPort)
    : socket_(udpPort, address), identities_(std::move(identities)) {
  if (socket_.good()) thread_ = std::thread([this] { run(); });
}

FakeNode::~FakeNode() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

void FakeNode::run() {
  while (!stop_) {
    Datagram d;
    if (!socket_.receive(d, 50)) continue;
    if (isArtPoll(d.bytes)) {
      ++polls_;
      answer(d);
      continue;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    packets_.push_back(std::move(d));
    arrived_.notify_all();
  }
}

void FakeNode::answer(const Datagram& poll) {
  if (poll.fromAddress >> 24 != 127) return;  // loopback only
  for (const NodeIdentity& id : identities_) {
    const std::vector<std::uint8_t> reply = pollReplyFor(id);
    socket_.sendTo(reply.data(), reply.size(), poll.fromPort);
  }
}

std::size_t FakeNode::count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return packets_.size();
}

bool FakeNode::waitFor(std::size_t n, unsigned timeoutMs) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [&] { return packets_.size() >= n; });
}

std::vector<Datagram> FakeNode::packets() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return packets_;
}

}  // namespace testnet
