// The packets that go to one network node (every universe of an Art-Net
// node, sACN to one host) leave at least a gap apart: many nodes drop a
// packet that follows another of theirs too closely. The lines of a node are
// staggered over the shortest pause they make, each at a place of its own
// (0, 1/2, 1/4, 3/4, 1/8, ... of the pause: any number of lines spread
// nearly evenly, whenever they come), the places of every node the same, so
// that one wake-up of the timing thread serves one line of each node. A
// step that would still come too soon after the node's last packet waits
// for the gap; a line is only ever moved later, so no pause gets shorter.
// Kept by the scheduler's thread; nothing here looks at a clock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

class NodeSpacing {
 public:
  struct Node {
    std::vector<bool> places;  // the places taken by the node's lines
    std::int64_t clearAt = 0;  // when the node may get its next packet
    bool sentAny = false;
  };
  // A line's place among its node's lines.
  struct Seat {
    Node* node = nullptr;  // null: a line of no node, or no gap kept
    std::size_t place = 0;
  };

  // `gapMicros`: the least time between two packets to one node; 0: none.
  explicit NodeSpacing(std::int64_t gapMicros = 0) : gap_(gapMicros) {}
  std::int64_t gap() const { return gap_; }

  // A line of `node` that pauses at least `pauseMicros` between two sends
  // comes at `now`: its seat, and in `first` when its first step is due.
  Seat join(std::uint32_t node, std::int64_t now, std::int64_t pauseMicros, std::int64_t& first);
  // The line of `seat` has ended; its place is free for another.
  void leave(const Seat& seat);
  // The earliest time the line of `seat` may send.
  static std::int64_t clearAt(const Seat& seat) {
    return seat.node != nullptr && seat.node->sentAny ? seat.node->clearAt : INT64_MIN;
  }
  // The line of `seat` sent a packet, whose send returned at `at`.
  void sent(const Seat& seat, std::int64_t at) const {
    if (seat.node == nullptr) return;
    seat.node->clearAt = at + gap_;
    seat.node->sentAny = true;
  }

 private:
  std::int64_t gap_;
  std::map<std::uint32_t, Node> nodes_;  // map: a node keeps its place in memory
  std::size_t seated_ = 0;
  std::int64_t epoch_ = 0;  // where the places of the lines seated together are counted from
};

// The place of the line seated `place`-th, as a share of the pause: 0, 1/2,
// 1/4, 3/4, 1/8, 5/8, ...
double staggerShare(std::size_t place);

// How many times its pause a line's sends come apart at least when `lines`
// lines send to one node `gapMicros` apart, each pausing `pauseMicros`: 1
// while they fit in the pause, more beyond.
double nodeStretch(std::size_t lines, std::int64_t gapMicros, std::int64_t pauseMicros);
