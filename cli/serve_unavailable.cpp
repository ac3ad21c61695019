// uploader-cli serve where the console is not built (Windows: its HTTP
// library is Debian's): refused, saying where it runs.
#include <cstdio>

#include "cli/commands.h"
#include "session/exit_codes.h"

int runServe(const Options&) {
  std::fputs(
      "error: serve is not in this build: the console page needs the HTTP library this "
      "Windows build does not have; run uploader-cli serve on Linux, or upload from the "
      "command line here\n",
      stderr);
  return exitUsage;
}
