#include <sys/ioctl.h>
#include <unistd.h>

#include "cli/terminal.h"

bool isTerminal(std::FILE* stream) { return isatty(fileno(stream)) != 0; }

std::size_t terminalColumns(std::FILE* stream) {
  winsize size{};
  if (ioctl(fileno(stream), TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
}
