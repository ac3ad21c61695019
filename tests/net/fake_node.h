// A network node of the tests' own on 127.0.0.1: it answers ArtPoll with
// ArtPollReply (when told to) and keeps every other datagram it receives,
// in order, so that a test can look at what a driver sent.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/net/loopback_socket.h"

namespace testnet {

struct NodeIdentity {
  std::string shortName = "FakeNode";
  std::string longName = "Fake Art-Net node of the tests";
  std::uint8_t net = 0;
  std::uint8_t sub = 0;
  std::vector<std::uint8_t> outputs{1};  // the low 4 bits of each output's port address
  std::uint8_t bindIndex = 1;
  std::uint8_t rdmOffMask = 0;  // bit i: RDM switched off on output i
};

class FakeNode {
 public:
  // `identities`: one ArtPollReply each per ArtPoll; none: polls go unanswered.
  // On 127.0.0.1 or another loopback `address`, at `udpPort` (0: a free one).
  explicit FakeNode(std::vector<NodeIdentity> identities = {NodeIdentity{}},
                    std::uint32_t address = kLoopback, std::uint16_t udpPort = 0);
  ~FakeNode();

  bool good() const { return socket_.good(); }
  std::uint16_t port() const { return socket_.port(); }
  int pollsSeen() const { return polls_; }
  std::size_t count() const;
  // Waits until at least `n` datagrams other than ArtPoll arrived.
  bool waitFor(std::size_t n, unsigned timeoutMs) const;
  std::vector<Datagram> packets() const;

 private:
  void run();
  void answer(const Datagram& poll);

  LoopbackSocket socket_;
  std::vector<NodeIdentity> identities_;
  std::atomic<bool> stop_{false};
  std::atomic<int> polls_{0};
  mutable std::mutex mutex_;
  mutable std::condition_variable arrived_;
  std::vector<Datagram> packets_;
  std::thread thread_;
};

// An ArtPollReply (Art-Net 4 layout, 239 bytes) written field by field.
std::vector<std::uint8_t> pollReplyFor(const NodeIdentity& id);

}  // namespace testnet
