#include "ui/console.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>

namespace {

// Points the C runtime's standard output at an open console. A runtime whose
// stdout never had a handle (a window program's) may refuse to reopen it, as
// Wine's does; the stream is then given the console's descriptor directly.
void stdoutToConsole() {
  if (std::freopen("CONOUT$", "w", stdout) != nullptr) return;
  HANDLE console =
      CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  if (console == INVALID_HANDLE_VALUE) return;
  SetStdHandle(STD_OUTPUT_HANDLE, console);
#if !defined(_UCRT)
  const int fd = _open_osfhandle(reinterpret_cast<std::intptr_t>(console), _O_TEXT);
  if (fd < 0 || _dup2(fd, 1) != 0) return;
  _close(fd);
  stdout->_file = 1;
#endif
}

}  // namespace

void attachParentConsole() {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (out != nullptr && out != INVALID_HANDLE_VALUE) {
    const DWORD type = GetFileType(out);
    if (type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE) return;
  }
  if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
  stdoutToConsole();
}
