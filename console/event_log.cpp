#include "console/event_log.h"

std::string sseText(const ConsoleEvent& event) {
  // The data is one JSON line: it holds no line break of its own.
  std::string text("id: ");
  text.append(std::to_string(event.id));
  text.append("\nevent: ");
  text.append(event.type);
  text.append("\ndata: ");
  text.append(event.data);
  text.append("\n\n");
  return text;
}

EventLog::EventLog(std::size_t held) : held_(held == 0 ? 1 : held) {}

std::uint64_t EventLog::publish(const std::string& type, const std::string& data) {
  std::uint64_t id = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    id = ++newest_;
    ring_.push_back({id, type, data});
    if (ring_.size() > held_) ring_.pop_front();
  }
  added_.notify_all();
  return id;
}

std::uint64_t EventLog::newest() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return newest_;
}

std::vector<ConsoleEvent> EventLog::after(std::uint64_t& after, std::size_t most,
                                          std::chrono::milliseconds wait) {
  std::unique_lock<std::mutex> lock(mutex_);
  added_.wait_for(lock, wait, [&] { return closed_ || newest_ > after; });
  std::vector<ConsoleEvent> out;
  if (newest_ <= after) {
    // A number from the future (another run of the console): start afresh.
    if (after > newest_) {
      after = newest_;
      out.push_back({newest_, "reload", "{}"});
    }
    return out;
  }
  const std::uint64_t oldest = ring_.empty() ? newest_ + 1 : ring_.front().id;
  if (after + 1 < oldest) {
    after = newest_;
    out.push_back({newest_, "reload", "{}"});
    return out;
  }
  for (std::size_t i = static_cast<std::size_t>(after + 1 - oldest);
       i < ring_.size() && out.size() < most; ++i)
    out.push_back(ring_[i]);
  if (!out.empty()) after = out.back().id;
  return out;
}

void EventLog::close() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
  }
  added_.notify_all();
}

bool EventLog::closed() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return closed_;
}
