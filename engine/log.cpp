#include "engine/log.h"

#include <cstdarg>
#include <cstdio>

void logLine(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::fflush(stdout);
}
