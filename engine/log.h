// The diagnostic log: printf-style lines on standard output, flushed at once
// so they show when the output is a pipe or a file.
#pragma once

void logLine(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
