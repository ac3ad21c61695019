// Whether a stream is an interactive terminal (a console on Windows), and
// how wide it is.
#pragma once

#include <cstddef>
#include <cstdio>

bool isTerminal(std::FILE* stream);
// The terminal's width in columns now (it follows a resize); 0 when unknown.
std::size_t terminalColumns(std::FILE* stream);
