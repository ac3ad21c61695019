// The live view of several lines at once. On a terminal: one row per line
// (line, address, progress, bytes, frames, time left, state), redrawn in
// place a few times a second and never wider than the terminal. Without a
// terminal: a line of text per line at every tenth of its image.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

struct FleetRowFigures {
  std::string line;
  std::string address;
  std::string state;  // waiting, opening, sending, done, failed, ...
  std::int32_t bytes = 0;
  std::int32_t total = 0;
  double secondsLeft = -1;  // -1: not known yet
};

// One row, at most `width` characters: fields that do not fit are left out,
// the least useful first (frames, bytes, the bar, the time left).
std::string fleetRow(const FleetRowFigures& figures, std::size_t width);

class FleetView {
 public:
  FleetView(std::FILE* out, bool terminal, bool quiet);
  ~FleetView();
  FleetView(const FleetView&) = delete;
  FleetView& operator=(const FleetView&) = delete;

  // Adds a row before start(); returns its index.
  std::size_t addRow(const std::string& line);
  void start();
  // Draws the rows a last time and stops; the rows stay on the terminal.
  void stop();

  void setAddress(std::size_t row, const std::string& address);
  void setState(std::size_t row, const std::string& state);
  void setTotal(std::size_t row, std::int32_t total);  // also restarts the row's clock
  void setBytes(std::size_t row, std::int32_t bytes);  // from the lines' sending thread

 private:
  struct Row {
    std::string line;
    std::string address;
    std::string state = "waiting";
    std::atomic<std::int32_t> bytes{0};
    std::atomic<std::int32_t> total{0};
    std::chrono::steady_clock::time_point since{};
    std::int32_t firstBytes = -1;
    std::chrono::steady_clock::time_point firstAt{};
    int lastTenth = 0;
  };

  FleetRowFigures figures(Row& row);
  void draw(bool last);
  void loop();

  std::FILE* out_;
  const bool terminal_;
  const bool quiet_;
  std::deque<Row> rows_;  // deque: rows keep their place as more are added
  std::mutex mutex_;
  std::condition_variable wake_;
  bool running_ = false;
  bool drawn_ = false;
  std::thread thread_;
};
