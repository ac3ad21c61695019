// Whether a stream is an interactive terminal (a console on Windows).
#pragma once

#include <cstdio>

bool isTerminal(std::FILE* stream);
