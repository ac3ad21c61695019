#include "session/event_queue.h"

#include <chrono>
#include <exception>
#include <new>

namespace {

// How often queued events and live progress are delivered, at least.
constexpr std::chrono::milliseconds kDeliverEvery{50};

}  // namespace

EventQueue::EventQueue(SessionObserver& observer, std::size_t lines)
    : observer_(observer),
      live_(std::make_unique<std::atomic<std::int32_t>[]>(lines)),
      queued_(lines, 0),
      shown_(lines, -1),
      sending_(lines, false),
      thread_([this] { loop(); }) {}

EventQueue::~EventQueue() { finish(); }

void EventQueue::finish() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
  }
  wake_.notify_one();
  if (thread_.joinable()) thread_.join();
}

void EventQueue::push(Event event, bool wake) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(std::move(event));
  }
  if (wake) wake_.notify_one();
}

void EventQueue::lineState(std::size_t line, LineState state, const std::vector<int>& addresses) {
  try {
    // The timing thread's figure takes over from the line's own while it
    // sends, and is handed back, in order, when the sending ends.
    if (state == LineState::sending)
      live_[line].store(queued_[line], std::memory_order_relaxed);
    else if (state == LineState::closing)
      progress(line, live_[line].load(std::memory_order_relaxed));
    Event e(Kind::state, line);
    e.state = state;
    e.addresses = addresses;
    push(std::move(e), true);
  } catch (const std::bad_alloc&) {
    // Out of memory: the event is lost, the line runs on (its report still comes from run()).
  }
}

void EventQueue::progressRange(std::size_t line, std::int32_t total) {
  try {
    Event e(Kind::range, line);
    e.value = total;
    push(std::move(e), false);
  } catch (const std::bad_alloc&) {
    // Out of memory: the event is lost, the line runs on (its report still comes from run()).
  }
}

void EventQueue::progress(std::size_t line, std::int32_t bytes) {
  try {
    queued_[line] = bytes;
    Event e(Kind::progress, line);
    e.value = bytes;
    push(std::move(e), false);
  } catch (const std::bad_alloc&) {
    // Out of memory: the event is lost, the line runs on (its report still comes from run()).
  }
}

void EventQueue::logLine(std::size_t line, const std::string& text) {
  try {
    Event e(Kind::log, line);
    e.text = text;
    push(std::move(e), false);  // may come from the timing thread: no wake-up from there
  } catch (const std::bad_alloc&) {
    // Out of memory: the event is lost, the line runs on (its report still comes from run()).
  }
}

void EventQueue::closingBox(std::size_t line, const std::string& text, bool error) {
  try {
    Event e(Kind::box, line);
    e.text = text;
    e.error = error;
    push(std::move(e), true);
  } catch (const std::bad_alloc&) {
    // Out of memory: the event is lost, the line runs on (its report still comes from run()).
  }
}

void EventQueue::result(const UploadReport& result) {
  try {
    Event e(Kind::result, result.line);
    e.result = result;
    push(std::move(e), true);
  } catch (const std::bad_alloc&) {
    // Out of memory: the event is lost, the line runs on (its report still comes from run()).
  }
}

void EventQueue::showLive(std::size_t line) {
  const std::int32_t bytes = live_[line].load(std::memory_order_relaxed);
  if (bytes == shown_[line]) return;
  shown_[line] = bytes;
  observer_.progress(line, bytes);
}

void EventQueue::deliver(const Event& e) {
  switch (e.kind) {
    case Kind::state:
      sending_[e.line] = e.state == LineState::sending;
      observer_.lineState(e.line, e.state, e.addresses);
      break;
    case Kind::range:
      observer_.progressRange(e.line, e.value);
      break;
    case Kind::progress:
      shown_[e.line] = e.value;
      observer_.progress(e.line, e.value);
      break;
    case Kind::log:
      observer_.logLine(e.line, e.text);
      break;
    case Kind::box:
      observer_.closingBox(e.line, e.text, e.error);
      break;
    case Kind::result:
      observer_.result(e.result);
      break;
  }
}

void EventQueue::loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  std::deque<Event> batch;  // swapped with the queue each round: no allocation here
  for (;;) {
    if (queue_.empty() && !closing_) wake_.wait_for(lock, kDeliverEvery);
    batch.clear();
    batch.swap(queue_);
    const bool last = closing_;
    lock.unlock();
    for (const Event& e : batch) {
      try {
        deliver(e);
      } catch (const std::exception&) {
        // An observer that fails (out of memory) misses this event; the others still come.
      }
    }
    try {
      for (std::size_t line = 0; line < sending_.size(); ++line)
        if (sending_[line]) showLive(line);
    } catch (const std::exception&) {
    }
    lock.lock();
    if (last && queue_.empty()) break;
  }
}
