#include <io.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>

#include "cli/std_streams.h"

namespace {

// A handle that leads somewhere: not missing, and not one the parent closed.
bool usable(HANDLE h) {
  if (h == nullptr || h == INVALID_HANDLE_VALUE) return false;
  SetLastError(NO_ERROR);
  return GetFileType(h) != FILE_TYPE_UNKNOWN || GetLastError() == NO_ERROR;
}

}  // namespace

bool openStandardStreams() {
  struct Standard {
    std::FILE* stream;
    const char* mode;
    DWORD which;
  };
  const Standard standard[] = {{stdin, "r", STD_INPUT_HANDLE},
                               {stdout, "w", STD_OUTPUT_HANDLE},
                               {stderr, "w", STD_ERROR_HANDLE}};
  for (const Standard& s : standard) {
    // The C runtime's descriptor: -2 when it stands on no handle (none was given).
    const int fd = _fileno(s.stream);
    const std::intptr_t crt = fd >= 0 ? _get_osfhandle(fd) : -1;
    if (crt != -1 && crt != -2 && usable(reinterpret_cast<HANDLE>(crt)) &&
        usable(GetStdHandle(s.which)))
      continue;
    if (std::freopen("NUL", s.mode, s.stream) == nullptr) return false;
    const int opened = _fileno(s.stream);
    if (opened >= 0) SetStdHandle(s.which, reinterpret_cast<HANDLE>(_get_osfhandle(opened)));
  }
  return true;
}
