#include <io.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>

#include "cli/std_streams.h"

bool openStandardStreams() {
  struct Standard {
    std::FILE* stream;
    const char* mode;
    DWORD handle;
  };
  const Standard standard[] = {{stdin, "r", STD_INPUT_HANDLE},
                               {stdout, "w", STD_OUTPUT_HANDLE},
                               {stderr, "w", STD_ERROR_HANDLE}};
  for (int fd = 0; fd <= 2; ++fd) {
    // -1: not open; -2: open, but on no handle (no console, or closed by the parent).
    const std::intptr_t h = _get_osfhandle(fd);
    const HANDLE system = GetStdHandle(standard[fd].handle);
    if (h != -1 && h != -2 && system != nullptr && system != INVALID_HANDLE_VALUE) continue;
    if (std::freopen("NUL", standard[fd].mode, standard[fd].stream) == nullptr) return false;
    const int opened = _fileno(standard[fd].stream);
    if (opened >= 0)
      SetStdHandle(standard[fd].handle, reinterpret_cast<HANDLE>(_get_osfhandle(opened)));
  }
  return true;
}
