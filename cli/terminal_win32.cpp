#include <io.h>
#include <windows.h>

#include "cli/terminal.h"

bool isTerminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }

int terminalColumns(std::FILE* stream) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  HANDLE console = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  if (!GetConsoleScreenBufferInfo(console, &info)) return 80;
  const int columns = info.srWindow.Right - info.srWindow.Left + 1;
  return columns > 0 ? columns : 80;
}
