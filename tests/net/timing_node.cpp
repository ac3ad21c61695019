#include "tests/net/timing_node.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <map>

namespace testnet {
namespace {

std::uint32_t loopbackAddress(int n) { return 0x7F000000u | static_cast<std::uint32_t>(n); }

int openAt(std::uint32_t address, std::uint16_t port, std::uint16_t& bound) {
  const int s = ::socket(AF_INET, SOCK_DGRAM, 0);
  if (s < 0) return -1;
  const int big = 4 << 20;
  const int on = 1;
  setsockopt(s, SOL_SOCKET, SO_RCVBUF, &big, sizeof big);
  setsockopt(s, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(address);
  a.sin_port = htons(port);
  socklen_t size = sizeof a;
  if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&a), &size) != 0) {
    ::close(s);
    return -1;
  }
  bound = ntohs(a.sin_port);
  return s;
}

bool isArtPoll(const std::uint8_t* b, long n) {
  return n >= 12 && std::memcmp(b, "Art-Net\0", 8) == 0 && b[8] == 0x00 && b[9] == 0x20;
}

// The universe an ArtNzs / ArtDmx (port address at 14-15) or an E1.31 data
// packet (universe at 113-114, most significant first) is for.
std::uint16_t universeOf(const std::uint8_t* b, long n) {
  if (n >= 18 && std::memcmp(b, "Art-Net\0", 8) == 0)
    return static_cast<std::uint16_t>(b[14] | (b[15] << 8));
  if (n >= 126) return static_cast<std::uint16_t>((b[113] << 8) | b[114]);
  return 0;
}

}  // namespace

TimingNodes::TimingNodes(int first, int count, const NodeIdentity& identity, unsigned drainMs)
    : identity_(identity), drainMs_(drainMs), firstNode_(static_cast<std::uint8_t>(first)) {
  std::uint16_t port = 0;
  for (int n = first; n < first + count; ++n) {
    std::uint16_t bound = 0;
    const int s = openAt(loopbackAddress(n), port, bound);
    if (s < 0) break;
    port = bound;
    sockets_.push_back(s);
  }
  good_ = static_cast<int>(sockets_.size()) == count;
  port_ = port;
  if (good_) thread_ = std::thread([this] { run(); });
}

TimingNodes::~TimingNodes() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  for (int s : sockets_) ::close(s);
}

void TimingNodes::run() {
  std::vector<pollfd> fds;
  for (int s : sockets_) fds.push_back({s, POLLIN, 0});
  while (!stop_) {
    if (drainMs_ > 0) {
      const timespec ts{0, static_cast<long>(drainMs_) * 1'000'000};
      nanosleep(&ts, nullptr);
    } else if (poll(fds.data(), fds.size(), 50) <= 0) {
      continue;
    }
    for (std::size_t i = 0; i < sockets_.size(); ++i)
      read(sockets_[i], static_cast<std::uint8_t>(firstNode_ + i));
  }
}

// Every datagram waiting at one node's socket.
void TimingNodes::read(int socket, std::uint8_t node) {
  for (;;) {
    std::uint8_t buffer[2048];
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec))];
    sockaddr_in from{};
    iovec io{buffer, sizeof buffer};
    msghdr m{};
    m.msg_name = &from;
    m.msg_namelen = sizeof from;
    m.msg_iov = &io;
    m.msg_iovlen = 1;
    m.msg_control = control;
    m.msg_controllen = sizeof control;
    const long n = recvmsg(socket, &m, MSG_DONTWAIT);
    if (n < 0) return;
    if (isArtPoll(buffer, n)) {
      std::vector<std::uint8_t> reply = pollReplyFor(identity_);
      reply[13] = node;  // the IP address's last byte: this node's own
      sendto(socket, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from),
             sizeof from);
      continue;
    }
    Arrival a;
    a.node = node;
    a.universe = universeOf(buffer, n);
    a.terminated = n >= 126 && buffer[0] == 0x00 && (buffer[112] & 0x40) != 0;
    for (cmsghdr* c = CMSG_FIRSTHDR(&m); c != nullptr; c = CMSG_NXTHDR(&m, c))
      if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
        timespec ts{};
        std::memcpy(&ts, CMSG_DATA(c), sizeof ts);
        a.micros = static_cast<std::int64_t>(ts.tv_sec) * 1'000'000 + ts.tv_nsec / 1000;
      }
    std::lock_guard<std::mutex> lock(mutex_);
    arrivals_.push_back(a);
    arrived_.notify_all();
  }
}

std::size_t TimingNodes::count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return arrivals_.size();
}

bool TimingNodes::waitFor(std::size_t n, unsigned timeoutMs) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [&] { return arrivals_.size() >= n; });
}

std::vector<Arrival> TimingNodes::arrivals() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return arrivals_;
}

std::int64_t shortestGapAtANode(const std::vector<Arrival>& arrivals) {
  std::map<std::uint8_t, std::vector<std::int64_t>> byNode;
  for (const Arrival& a : arrivals) byNode[a.node].push_back(a.micros);
  std::int64_t least = INT64_MAX;
  for (auto& [node, times] : byNode) {
    std::sort(times.begin(), times.end());
    for (std::size_t i = 1; i < times.size(); ++i) least = std::min(least, times[i] - times[i - 1]);
  }
  return least;
}

}  // namespace testnet
