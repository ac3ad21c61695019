#include <io.h>
#include <windows.h>

#include "cli/terminal.h"

bool isTerminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }

std::size_t terminalColumns(std::FILE* stream) {
  const auto console = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (console == INVALID_HANDLE_VALUE || !GetConsoleScreenBufferInfo(console, &info)) return 0;
  return static_cast<std::size_t>(info.srWindow.Right - info.srWindow.Left + 1);
}
