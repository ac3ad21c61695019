// The size of the file behind an open stream, in 64 bits on every platform
// (a 32-bit size would misreport files of 2 GiB and more).
#pragma once

#include <cstdio>

// The size when the stream reads a regular file; -1 for anything else.
long long regularFileSize(std::FILE* stream);
