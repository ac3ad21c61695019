// The --log record's result line of each upload: the file, its size and
// SHA-256, the line, the addresses and the profile, and how it ended
// (`result=DONE exit=0`).
#pragma once

#include <string>

#include "session/image.h"

// "DONE", "FAILED", ... for an exit status.
const char* resultWord(int exitCode);

// `result: file="fw.bin" size=... sha256=... <where> profile=... result=DONE exit=0`:
// `where` names the line and the addresses ("adapter=sim address=7", "line=sim:2 address=7, 9").
std::string resultLine(const ImageBytes* image, const std::string& file, const std::string& where,
                       const std::string& profile, int exitCode);
