#include "engine/line_scheduler.h"

#include <algorithm>
#include <climits>
#include <exception>
#include <new>
#include <vector>

namespace {

// At most this share of a sleep is watched instead (1/10).
constexpr std::int64_t kWatchShare = 10;
// Steps due this soon after a look over the lines are served in the same
// round, each when its time comes: the lines of one place among many nodes
// come a send's time apart, and a look for each would cost more than its send.
constexpr std::int64_t kRoundMicros = 50;

}  // namespace

LineScheduler::LineScheduler(Clock& clock, Mode mode) : clock_(clock) {
  if (mode == Mode::ownThread) thread_ = std::thread([this] { loop(false); });
}

LineScheduler::~LineScheduler() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
  }
  wake_.notify_one();
  if (thread_.joinable()) thread_.join();
}

std::int64_t LineScheduler::nextGroupOffset() {
  const std::size_t group = (arrivals_++ / kGroupSize) % kGroups;
  return static_cast<std::int64_t>(group) * kGroupSpacingMicros;
}

LineScheduler::Entry LineScheduler::arrival(LinePhase& phase, std::int64_t now,
                                            std::optional<std::uint32_t> node) {
  if (node && spacing_.gap() > 0) {
    std::int64_t first = now;
    const NodeSpacing::Seat seat =
        spacing_.join(*node, now, std::int64_t{phase.shortestPause()} * 1000, first);
    return Entry{&phase, first, false, seat, first, 0, false};
  }
  const std::int64_t due = now + nextGroupOffset();
  return Entry{&phase, due, false, {}, due, 0, false};
}

void LineScheduler::run(LinePhase& phase, std::optional<std::uint32_t> node) {
  std::unique_lock<std::mutex> lock(mutex_);
  auto entry = entries_.insert(entries_.end(), arrival(phase, clock_.nowMicros(), node));
  try {
    enter(*entry);
  } catch (...) {
    entries_.erase(entry);
    throw;
  }
  wake_.notify_one();
  ended_.wait(lock, [&] { return entry->ended; });
  entries_.erase(entry);
}

void LineScheduler::add(LinePhase& phase, std::int64_t start, std::optional<std::uint32_t> node) {
  std::lock_guard<std::mutex> lock(mutex_);
  entries_.push_back(arrival(phase, start, node));
  try {
    enter(entries_.back());
  } catch (...) {
    entries_.pop_back();
    throw;
  }
}

void LineScheduler::enter(Entry& entry) {
  entry.slot = due_.size();
  due_.push_back({entry.due, &entry});
}

void LineScheduler::leave(Entry& entry) {
  Due& hole = due_[entry.slot];
  hole = due_.back();
  hole.entry->slot = entry.slot;
  due_.pop_back();
}

void LineScheduler::runAll() { loop(true); }

void LineScheduler::loop(bool untilEmpty) {
  clock_.uploadBegins();
  std::unique_lock<std::mutex> lock(mutex_);
  std::vector<Entry*> due;
  for (;;) {
    // One look over the lines finds the earliest step and every step due
    // within the round: with hundreds of lines the look costs more than a send.
    const std::int64_t now = clock_.nowMicros();
    due.clear();
    try {
      due.reserve(due_.size());
    } catch (const std::bad_alloc&) {
      // Out of memory: serve as many as there is room for; the rest are served next.
    }
    Entry* next = nullptr;
    std::int64_t nextAt = INT64_MAX;
    for (const Due& d : due_) {
      if (d.at < nextAt) {
        next = d.entry;
        nextAt = d.at;
      }
      if (d.at <= now + kRoundMicros && due.size() < due.capacity()) due.push_back(d.entry);
    }
    if (next == nullptr) {
      if (closing_ || untilEmpty) break;
      wake_.wait(lock);
      continue;
    }
    const std::int64_t wait = nextAt - now;
    // Watching costs what it lasts: before a short sleep (lines of many
    // nodes take turns every few hundred µs) a watch of a tenth of it at most.
    const std::int64_t watch =
        std::max(WakeWatch::kLeastMicros, std::min(watch_.micros(), wait / kWatchShare));
    if (wait > watch) {
      // A phase that arrives meanwhile wakes the thread early.
      const std::int64_t target = nextAt - watch;
      clock_.waitUntil(target, wake_, lock);
      // How late the wake-ups come sets how early the next ones are asked for.
      // A wake-up for an arrival is no wake-up of the timer.
      const std::int64_t late = clock_.nowMicros() - target;
      if (late >= 0) watch_.woke(late);
      continue;
    }
    // The round: every step due by its end, in the order they fall due, each
    // watched for until its time (steps already due the earliest turn
    // first); each pause is counted from the moment its send returned. With
    // no room at all, the earliest alone.
    Entry* alone[1] = {next};
    Entry** first = due.empty() ? alone : due.data();
    Entry** last = due.empty() ? alone + 1 : due.data() + due.size();
    std::sort(first, last, [now](const Entry* a, const Entry* b) {
      const std::int64_t at = std::max(a->due, now);
      const std::int64_t bt = std::max(b->due, now);
      return at != bt ? at < bt : a->turn < b->turn;
    });
    lock.unlock();
    std::size_t endedNow = 0;
    for (Entry** e = first; e != last; ++e) {
      clock_.spinUntil((*e)->due);
      // Too soon after the last packet to its node: the step waits for the gap.
      const std::int64_t clear = NodeSpacing::clearAt((*e)->seat);
      if (clear > INT64_MIN && clock_.nowMicros() < clear) {
        (*e)->due = clear;
        continue;
      }
      std::optional<unsigned> pause;
      try {
        pause = (*e)->phase->step();
      } catch (const std::exception&) {
        (*e)->phase->abandon();  // out of memory on the way to the adapter: this line fails
      }
      const std::int64_t returned = clock_.nowMicros();
      spacing_.sent((*e)->seat, returned);
      if (pause) {
        (*e)->due = returned + static_cast<std::int64_t>(*pause) * 1000;
        (*e)->turn = (*e)->due;
      } else {
        (*e)->finished = true;
        ++endedNow;
      }
    }
    // The round ran unlocked, its times kept in the entries (a line that
    // arrives meanwhile may move `due_`); under the lock they go to `due_`.
    lock.lock();
    for (Entry** e = first; e != last; ++e) {
      if ((*e)->finished) {
        leave(**e);
        (*e)->ended = true;
        spacing_.leave((*e)->seat);
      } else {
        due_[(*e)->slot].at = (*e)->due;
      }
    }
    if (endedNow > 0) ended_.notify_all();
  }
  lock.unlock();
  clock_.uploadEnds();
}
