// The engine's log of one line among several: each log line labelled with
// the line's name. Lines go out whole (no two lines' text mixed) to a shared
// stream at once, or are kept until the live view is gone and then printed
// line by line.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>

#include "cli/output_check.h"
#include "engine/log.h"
#include "files/shown_text.h"

// A stream as a log sink, flushed after every piece.
class StreamLog final : public LogSink {
 public:
  explicit StreamLog(std::FILE* out) : out_(out) {}
  // The engine's lines quote paths as they came: control characters escaped.
  void write(const char* text) override {
    std::fputs(files::shownLines(text).c_str(), out_);
    // Standard output keeps the reason of its first failure for the exit status.
    if (out_ == stdout)
      flushOutput();
    else
      std::fflush(out_);
  }

 private:
  std::FILE* out_;
};

class LabelledLog final : public LogSink {
 public:
  // `out` null: keep the text for later. `out` is shared: it is written
  // only with `outLock` held.
  LabelledLog(std::string label, LogSink* out, std::mutex& outLock);
  void write(const char* text) override;
  // The kept text (empty when written at once).
  const std::string& kept() const { return kept_; }

 private:
  const std::string label_;
  LogSink* out_;
  std::mutex& outLock_;
  std::string partial_;  // a piece of a line not yet ended
  std::string kept_;
};
