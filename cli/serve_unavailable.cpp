// uploader-cli serve where the console is not built (Windows, or a build
// made without Debian's libcpp-httplib-dev): refused, saying why.
#include <cstdio>

#include "cli/commands.h"
#include "session/exit_codes.h"

int runServe(const Options&) {
  std::fputs(
      "error: serve is not in this build: the console page needs the HTTP library cpp-httplib "
      "(Debian's libcpp-httplib-dev), which this build was made without (a Windows build "
      "always is); run uploader-cli serve from a Linux build that has it, or upload from the "
      "command line here\n",
      stderr);
  return exitUsage;
}
