#include "drivers/artnet_hub.h"

#include <algorithm>
#include <chrono>
#include <set>
#include <utility>

#include "drivers/artnet_rdm_wire.h"

namespace artnet {
namespace {

using Steady = std::chrono::steady_clock;

std::int64_t nowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now().time_since_epoch())
      .count();
}

// How long the reading thread waits at most before it looks whether to end.
constexpr unsigned kSliceMs = 100;

std::mutex hubsMutex;
std::map<std::uint16_t, std::weak_ptr<Hub>>& hubs() {
  static std::map<std::uint16_t, std::weak_ptr<Hub>> all;
  return all;
}

// Polls are told apart by the node's address and the port it listens on.
std::uint64_t pollKey(std::uint32_t target, std::uint16_t nodePort) {
  return (static_cast<std::uint64_t>(target) << 16) | nodePort;
}

}  // namespace

bool Mailbox::take(HeardDatagram& out, unsigned timeoutMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                         [this] { return !queue_.empty(); }))
    return false;
  out = std::move(queue_.front());
  queue_.pop_front();
  return true;
}

void Mailbox::put(std::uint32_t from, const std::uint8_t* data, std::size_t length) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (queue_.size() >= kMailboxSize) queue_.pop_front();
    queue_.push_back({from, std::vector<std::uint8_t>(data, data + length)});
  }
  arrived_.notify_one();
}

std::shared_ptr<Hub> Hub::get(std::uint16_t replyPort, std::string& why) {
  std::lock_guard<std::mutex> lock(hubsMutex);
  if (std::shared_ptr<Hub> open = hubs()[replyPort].lock()) return open;
  if (!netio::startup(why)) return nullptr;
  const netio::Socket s = netio::openUdp();
  if (s == netio::kNoSocket) {
    why = "cannot open a UDP socket: " + netio::lastErrorText();
    return nullptr;
  }
  std::string note;
  if (!netio::bindExclusive(s, replyPort)) {
    const std::string taken = netio::lastErrorText();
    if (!netio::bindExclusive(s, 0)) {
      why = "cannot bind a UDP socket: " + netio::lastErrorText();
      netio::closeSocket(s);
      return nullptr;
    }
    note = "UDP " + std::to_string(replyPort) + " is taken by another program on this computer (" +
           taken + "): only nodes that answer to the sender's port are heard";
  }
  // A hub is closed under the same lock, so that the next one never finds
  // the port still held by the one going.
  std::shared_ptr<Hub> made(new Hub(s, std::move(note)), [](Hub* going) {
    std::lock_guard<std::mutex> closing(hubsMutex);
    delete going;
  });
  hubs()[replyPort] = made;
  return made;
}

Hub::Hub(netio::Socket socket, std::string portNote)
    : socket_(socket), portNote_(std::move(portNote)), thread_([this] { run(); }) {}

Hub::~Hub() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  thread_.join();
  netio::closeSocket(socket_);
}

void Hub::run() {
  std::vector<std::uint8_t> buffer(2048);
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_) return;
    }
    std::uint32_t from = 0;
    std::uint16_t fromPort = 0;
    const long n =
        netio::receiveFrom(socket_, buffer.data(), buffer.size(), kSliceMs, from, fromPort);
    if (n < 0) {
      // An ICMP error about an earlier send shows here on some systems;
      // anything else persistent must not turn into a busy loop.
      const netio::Failure f = netio::lastFailure();
      if (f != netio::Failure::refused && f != netio::Failure::wouldBlock)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      continue;
    }
    if (n == 0) continue;
    const auto length = static_cast<std::size_t>(n);
    std::lock_guard<std::mutex> lock(mutex_);
    for (const Listener& l : listeners_) {
      if (l.wanted.node != 0 && l.wanted.node != from) continue;
      if (l.wanted.accepts && !l.wanted.accepts(buffer.data(), length)) continue;
      l.mailbox->put(from, buffer.data(), length);
    }
  }
}

bool Hub::sendTo(const void* data, std::size_t size, std::uint32_t address, std::uint16_t port,
                 std::string& why) {
  std::lock_guard<std::mutex> lock(sendMutex_);
  if (netio::sendTo(socket_, data, size, address, port) == static_cast<long>(size)) return true;
  why = netio::lastErrorText();
  return false;
}

std::shared_ptr<Mailbox> Hub::listen(ListenFor wanted) {
  auto mailbox = std::make_shared<Mailbox>();
  std::lock_guard<std::mutex> lock(mutex_);
  listeners_.push_back({std::move(wanted), mailbox});
  return mailbox;
}

void Hub::stopListening(const std::shared_ptr<Mailbox>& mailbox) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::erase_if(listeners_, [&](const Listener& l) { return l.mailbox == mailbox; });
}

PollResult Hub::poll(std::uint32_t target, std::uint16_t nodePort, unsigned windowMs,
                     unsigned settleMs) {
  const std::uint64_t key = pollKey(target, nodePort);
  std::shared_ptr<Poll> shared;
  bool mine = false;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    for (auto it = polls_.begin(); it != polls_.end();)  // forget answers past their use
      it = it->second->done && nowMs() - it->second->doneAtMs > kPollReuseMs ? polls_.erase(it)
                                                                             : std::next(it);
    auto& slot = polls_[key];
    if (!slot) {
      slot = std::make_shared<Poll>();
      mine = true;
    }
    shared = slot;
    if (!mine) {
      pollDone_.wait(lock, [&] { return shared->done; });
      return shared->result;
    }
  }
  PollResult result = pollNow(target, nodePort, windowMs, settleMs);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    shared->result = result;
    shared->done = true;
    shared->doneAtMs = nowMs();
    // Nobody answered: the next line asks again rather than take the silence.
    if (result.answers.empty()) polls_.erase(pollKey(target, nodePort));
  }
  pollDone_.notify_all();
  return result;
}

PollResult Hub::pollNow(std::uint32_t target, std::uint16_t nodePort, unsigned windowMs,
                        unsigned settleMs) {
  PollResult result;
  // ArtPollReplies only; each is read in full once, below.
  const std::shared_ptr<Mailbox> box = listen({0, [](const std::uint8_t* data, std::size_t n) {
                                                 return opCodeOf(data, n) == kOpPollReply;
                                               }});
  std::uint8_t packet[kPollSize];
  buildPoll(packet);
  {
    // A broadcast address is refused unless the socket allows it: allowed
    // for this one send, it tells a broadcast target from a node.
    std::lock_guard<std::mutex> lock(sendMutex_);
    result.sent = netio::sendTo(socket_, packet, sizeof packet, target, nodePort) == kPollSize;
    if (!result.sent && netio::lastFailure() == netio::Failure::denied &&
        netio::allowBroadcast(socket_, true)) {
      result.broadcast = true;
      result.sent = netio::sendTo(socket_, packet, sizeof packet, target, nodePort) == kPollSize;
      netio::allowBroadcast(socket_, false);
    }
    if (!result.sent) result.why = netio::lastErrorText();
  }
  std::set<std::pair<std::uint32_t, std::uint8_t>> heard;  // sender, bind index
  std::int64_t deadline = nowMs() + windowMs;
  HeardDatagram d;
  while (result.sent) {
    const std::int64_t left = deadline - nowMs();
    if (left <= 0) break;
    if (!box->take(d, static_cast<unsigned>(left))) continue;
    // Polling one node, only its replies count: on the Art-Net port,
    // replies that other nodes broadcast to other controllers arrive too.
    if (!result.broadcast && d.from != target) continue;
    PollAnswer answer{d.from, {}};
    if (!parsePollReply(d.bytes.data(), d.bytes.size(), answer.reply)) continue;
    if (!heard.insert({d.from, answer.reply.bindIndex}).second) continue;
    result.answers.push_back(std::move(answer));
    // A named node answers at once (in one reply per bind index); a
    // broadcast poll waits for everyone.
    if (!result.broadcast) deadline = std::min(deadline, nowMs() + settleMs);
  }
  stopListening(box);
  return result;
}

}  // namespace artnet
