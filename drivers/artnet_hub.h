// This process's Art-Net port: one UDP socket on the port nodes answer to
// (6454), shared by every line and every RDM conversation the process runs.
// A node sends its ArtPollReply, ArtTodData and ArtRdm to the controller's
// port 6454; with a socket per line bound there with SO_REUSEADDR, the
// kernel hands each unicast reply to one of them only, so lines lost each
// other's replies. Here one thread reads the port and hands each datagram
// to whoever listens for it (by node, and by what the listener accepts:
// its port address, its kind of packet), and the lines of one node share
// one ArtPoll. When another program holds 6454, the hub listens on a port
// of its own instead and says so: nodes that answer to the sender's port
// are still heard.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "drivers/artnet_wire.h"
#include "drivers/netio.h"

namespace artnet {

struct HeardDatagram {
  std::uint32_t from = 0;  // the sender's address, host byte order
  std::vector<std::uint8_t> bytes;
};

// Which datagrams a listener wants: from any node (0) or one; and, when
// given, only those `accepts` says yes to.
struct ListenFor {
  std::uint32_t node = 0;
  std::function<bool(const std::uint8_t* data, std::size_t length)> accepts;
};

class Hub;

// What a listener has been handed, oldest first. A listener that does not
// take what it is handed loses the oldest beyond kMailboxSize, never blocks
// the hub.
class Mailbox {
 public:
  static constexpr std::size_t kMailboxSize = 4096;
  // Waits up to `timeoutMs` for a datagram; false when none came.
  bool take(HeardDatagram& out, unsigned timeoutMs);

 private:
  friend class Hub;
  void put(std::uint32_t from, const std::uint8_t* data, std::size_t length);

  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<HeardDatagram> queue_;
};

// One node's answers to one ArtPoll.
struct PollAnswer {
  std::uint32_t from = 0;
  PollReply reply;
};

struct PollResult {
  bool sent = false;       // the ArtPoll left; false: `why` says what failed
  bool broadcast = false;  // the target is a broadcast address (answers from every node count)
  std::vector<PollAnswer> answers;  // one per node and bind index, in order of arrival
  std::string why;
};

class Hub {
 public:
  // The hub of this process on `replyPort` (0: a free port of its own),
  // opened when the first user asks and closed when the last lets go.
  // Null with `why` when no socket can be had at all.
  static std::shared_ptr<Hub> get(std::uint16_t replyPort, std::string& why);
  ~Hub();
  Hub(const Hub&) = delete;
  Hub& operator=(const Hub&) = delete;

  // Empty when the hub holds the port asked for; otherwise what that
  // means, for messages ("UDP 6454 is taken by another program on this
  // computer: ...").
  const std::string& portNote() const { return portNote_; }

  // Sends one datagram from the hub's socket (so that a node answering to
  // the sender's port answers to the hub). A broadcast address is allowed
  // when `broadcast` is given. False with `why`.
  bool sendTo(const void* data, std::size_t size, std::uint32_t address, std::uint16_t port,
              std::string& why);

  // Hands every datagram from now on that matches `wanted` to the mailbox
  // returned, until it is let go with stopListening().
  std::shared_ptr<Mailbox> listen(ListenFor wanted);
  void stopListening(const std::shared_ptr<Mailbox>& mailbox);

  // One ArtPoll to `target` and the replies within `windowMs` (a named
  // node: until `settleMs` after its first reply). Lines that ask about
  // the same target while its poll runs, or within kPollReuseMs after it
  // was answered, share that poll and its answers.
  static constexpr unsigned kPollReuseMs = 2000;
  PollResult poll(std::uint32_t target, std::uint16_t nodePort, unsigned windowMs,
                  unsigned settleMs);

 private:
  Hub(netio::Socket socket, std::string portNote);
  void run();
  PollResult pollNow(std::uint32_t target, std::uint16_t nodePort, unsigned windowMs,
                     unsigned settleMs);

  struct Listener {
    ListenFor wanted;
    std::shared_ptr<Mailbox> mailbox;
  };
  struct Poll {
    bool done = false;
    std::int64_t doneAtMs = 0;
    PollResult result;
  };

  const netio::Socket socket_;
  const std::string portNote_;
  std::mutex sendMutex_;
  std::mutex mutex_;  // listeners_ and polls_
  std::condition_variable pollDone_;
  std::vector<Listener> listeners_;
  std::map<std::uint32_t, std::shared_ptr<Poll>> polls_;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace artnet
