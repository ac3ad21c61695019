// Writes the captures of a session off the timing thread: every few
// milliseconds, the records each spooled capture kept go to its file.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "session/capture_writer.h"

class CaptureSpool {
 public:
  CaptureSpool();
  // Writes what is kept a last time and ends the thread.
  ~CaptureSpool();
  CaptureSpool(const CaptureSpool&) = delete;
  CaptureSpool& operator=(const CaptureSpool&) = delete;

  // From now until leave(), `writer` is spooled and drained by this spool.
  void join(CaptureWriter& writer);
  void leave(CaptureWriter& writer);

 private:
  void loop();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::vector<CaptureWriter*> writers_;
  bool closing_ = false;
  std::thread thread_;
};
