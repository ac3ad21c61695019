// The diagnostic log: printf-style lines into a sink. The default sink is
// standard output, flushed at every line so the lines show when the output
// is a pipe or a file; a front end may give a line a sink of its own, to
// label or collect that line's log.
#pragma once

#include <string>

class LogSink {
 public:
  virtual ~LogSink() = default;
  // One formatted piece of the log, usually a whole line with its line break.
  virtual void write(const char* text) = 0;
};

// Standard output, flushed after every piece.
LogSink& standardOutputLog();

// Collects the log in memory (tests, and front ends that show it later).
class LogCollector final : public LogSink {
 public:
  void write(const char* text) override { text_ += text; }
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

void logLine(LogSink& sink, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;
