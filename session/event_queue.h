// Hands a session's events to its observer on a thread of its own. The
// threads that open, pace and close lines only queue them (the timing
// thread's progress is a number it stores), so an observer that blocks (a
// standard output nobody reads) never holds a line up.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "session/events.h"

class EventQueue {
 public:
  EventQueue(SessionObserver& observer, std::size_t lines);
  // Delivers what is queued and ends the thread.
  ~EventQueue();
  EventQueue(const EventQueue&) = delete;
  EventQueue& operator=(const EventQueue&) = delete;

  void lineState(std::size_t line, LineState state, const std::vector<int>& addresses);
  void progressRange(std::size_t line, std::int32_t total);
  // Progress from a line's own thread, in order with its other events.
  void progress(std::size_t line, std::int32_t bytes);
  // Progress from the timing thread: only stored; delivered a few times a second.
  void progressLive(std::size_t line, std::int32_t bytes) {
    live_[line].store(bytes, std::memory_order_relaxed);
  }
  void logLine(std::size_t line, const std::string& text);
  void closingBox(std::size_t line, const std::string& text, bool error);
  void result(const UploadReport& result);
  // Delivers everything queued, then returns; nothing may be queued after it.
  void finish();

 private:
  enum class Kind : std::uint8_t { state, range, progress, log, box, result };
  struct Event {
    Event(Kind k, std::size_t l) : kind(k), line(l) {}
    Kind kind;
    std::size_t line;
    LineState state = LineState::waiting;
    std::vector<int> addresses;
    std::int32_t value = 0;
    std::string text;
    bool error = false;
    UploadReport result;
  };

  void push(Event event, bool wake);
  void loop();
  void deliver(const Event& event);
  void showLive(std::size_t line);

  SessionObserver& observer_;
  std::unique_ptr<std::atomic<std::int32_t>[]> live_;
  std::vector<std::int32_t> queued_;  // each line's own thread's: the last progress it queued
  std::vector<std::int32_t> shown_;   // the delivery thread's own
  std::vector<bool> sending_;         // the delivery thread's own
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Event> queue_;
  bool closing_ = false;
  std::thread thread_;
};
