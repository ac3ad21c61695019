// Whether a stream is an interactive terminal (a console on Windows), and
// how wide it is now.
#pragma once

#include <cstdio>

bool isTerminal(std::FILE* stream);

// The terminal's width in columns, read afresh at every call (so it follows
// a resize); 80 when the stream is no terminal or does not say.
int terminalColumns(std::FILE* stream);
