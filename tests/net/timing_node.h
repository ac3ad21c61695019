// Nodes of the tests' own at 127.0.0.N (several addresses, one port) that
// note when each packet arrived, by the kernel's time stamp: the time the
// datagram reached the socket, whenever the thread gets round to reading it.
// They answer ArtPoll like an Art-Net node, and read which universe each
// ArtNzs, ArtDmx or E1.31 data packet is for. POSIX only.
//
// With `drainMs` the thread sleeps between reads instead of waiting on the
// sockets, so that a sender on loopback never pays for waking it: a
// benchmark counts the sender's cost alone.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "tests/net/fake_node.h"

namespace testnet {

struct Arrival {
  std::int64_t micros = 0;     // the kernel's receive time stamp
  std::uint8_t node = 0;       // N of 127.0.0.N
  std::uint16_t universe = 0;  // the Art-Net port address or the sACN universe
  bool terminated = false;     // an E1.31 packet with Stream_Terminated set
};

class TimingNodes {
 public:
  // Nodes at 127.0.0.`first` to 127.0.0.(`first` + `count` - 1), on one free
  // port; each answers ArtPoll as `identity` (its IP address set to its own).
  TimingNodes(int first, int count, const NodeIdentity& identity = {}, unsigned drainMs = 0);
  ~TimingNodes();
  TimingNodes(const TimingNodes&) = delete;
  TimingNodes& operator=(const TimingNodes&) = delete;

  bool good() const { return good_; }
  std::uint16_t port() const { return port_; }
  std::size_t count() const;
  // Waits until at least `n` packets other than ArtPoll arrived.
  bool waitFor(std::size_t n, unsigned timeoutMs) const;
  // Every packet other than ArtPoll, in the order read.
  std::vector<Arrival> arrivals() const;

 private:
  void run();
  void read(int socket, std::uint8_t node);

  std::vector<int> sockets_;
  NodeIdentity identity_;
  unsigned drainMs_;
  bool good_ = false;
  std::uint16_t port_ = 0;
  std::uint8_t firstNode_ = 0;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  mutable std::condition_variable arrived_;
  std::vector<Arrival> arrivals_;
  std::thread thread_;
};

// The shortest time between two packets that arrived at one node, in µs;
// INT64_MAX with fewer than two.
std::int64_t shortestGapAtANode(const std::vector<Arrival>& arrivals);

}  // namespace testnet
