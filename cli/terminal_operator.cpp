#include "cli/terminal_operator.h"

#include <cstdio>
#include <cstring>

#include "files/shown_text.h"

TerminalOperator::TerminalOperator(bool quiet, bool terminal)
    : quiet_(quiet), progress_(stderr, terminal) {}

void printError(std::FILE* out, const char* text) {
  const char* p = text;
  bool first = true;
  while (*p != '\0' || first) {
    const char* end = std::strchr(p, '\n');
    const std::size_t n = end != nullptr ? static_cast<std::size_t>(end - p) : std::strlen(p);
    // The engine quotes paths as they came: no control character reaches the terminal.
    const std::string line = files::shown(std::string_view(p, n));
    if (first)
      std::fprintf(out, "error: %s\n", line.c_str());
    else if (n > 0)
      std::fprintf(out, "  %s\n", line.c_str());
    first = false;
    p += n;
    if (*p == '\n') ++p;
  }
  std::fflush(out);
}

void TerminalOperator::errorBox(const char* text) {
  progress_.finish();
  errorShown_ = true;
  printError(stderr, text);
}

void TerminalOperator::infoBox(const char* text) {
  progress_.finish();
  if (quiet_) return;
  std::fprintf(stderr, "%s\n", files::shownLines(text).c_str());
  std::fflush(stderr);
}

void TerminalOperator::progressPosition(std::int32_t position) {
  if (!quiet_) progress_.update(position);
}

void TerminalOperator::lineOpens() {
  if (!quiet_) progress_.start(range_);
}

void TerminalOperator::lineCloses() { progress_.finish(); }
