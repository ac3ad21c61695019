// The console's events, numbered and held for a while, for every page that
// listens (Server-Sent Events). Publishing never waits for a reader: the
// events go into one ring of the last `held`; each client reads from its
// own place in it. A client that falls further behind than the ring holds
// (a page that stopped reading) has lost events: it is told to reload the
// state, and goes on from the newest. A client that reconnects with the
// number of the last event it saw gets everything after it still held.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

struct ConsoleEvent {
  std::uint64_t id = 0;  // 1, 2, ...: in the order published
  std::string type;      // "line", "progress", "log", "result", "upload", "reload"
  std::string data;      // one JSON object
};

// An event as Server-Sent Events write it: "id: 7\nevent: line\ndata: {...}\n\n".
std::string sseText(const ConsoleEvent& event);

class EventLog {
 public:
  explicit EventLog(std::size_t held = 8192);

  // Adds an event; returns its number. Never waits for a reader.
  std::uint64_t publish(const std::string& type, const std::string& data);

  // The number of the newest event (0 before any).
  std::uint64_t newest() const;

  // The events after `after`, at most `most`, waiting up to `wait` for the
  // first. When events after `after` are no longer held, a single "reload"
  // event comes instead (its id the newest's) and `after` moves to the
  // newest. `after` moves past what is returned.
  std::vector<ConsoleEvent> after(std::uint64_t& after, std::size_t most,
                                  std::chrono::milliseconds wait);

  // Wakes every reader; from now on after() waits no more.
  void close();
  bool closed() const;

 private:
  const std::size_t held_;
  mutable std::mutex mutex_;
  std::condition_variable added_;
  std::deque<ConsoleEvent> ring_;
  std::uint64_t newest_ = 0;
  bool closed_ = false;
};
