#include "session/capture_spool.h"

#include <algorithm>
#include <chrono>

namespace {

// Records kept at most this long before they reach the file.
constexpr std::chrono::milliseconds kDrainEvery{100};

}  // namespace

CaptureSpool::CaptureSpool() : thread_([this] { loop(); }) {}

CaptureSpool::~CaptureSpool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

void CaptureSpool::join(CaptureWriter& writer) {
  writer.spool();
  std::lock_guard<std::mutex> lock(mutex_);
  writers_.push_back(&writer);
}

void CaptureSpool::leave(CaptureWriter& writer) {
  // Held while a drain runs, so the writer is not in use once this returns.
  std::lock_guard<std::mutex> lock(mutex_);
  writers_.erase(std::remove(writers_.begin(), writers_.end(), &writer), writers_.end());
}

void CaptureSpool::loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!closing_) {
    wake_.wait_for(lock, kDrainEvery);
    for (CaptureWriter* w : writers_) w->drain();
  }
}
