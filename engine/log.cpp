#include "engine/log.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace {

class StandardOutputLog final : public LogSink {
 public:
  void write(const char* text) override {
    std::fputs(text, stdout);
    std::fflush(stdout);
  }
};

}  // namespace

LogSink& standardOutputLog() {
  static StandardOutputLog sink;
  return sink;
}

void logLine(LogSink& sink, const char* format, ...) {
  char small[512];
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  if (n < 0) {
    va_end(again);
    return;
  }
  if (static_cast<std::size_t>(n) < sizeof small) {
    va_end(again);
    sink.write(small);
    return;
  }
  std::vector<char> big(static_cast<std::size_t>(n) + 1);
  std::vsnprintf(big.data(), big.size(), format, again);
  va_end(again);
  sink.write(big.data());
}
