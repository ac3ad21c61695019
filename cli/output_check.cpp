#include "cli/output_check.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "session/exit_codes.h"

namespace {

int firstFailure = 0;  // errno of the first failed flush

}  // namespace

void flushOutput() {
  errno = 0;
  if (std::fflush(stdout) != 0 && firstFailure == 0) firstFailure = errno != 0 ? errno : EIO;
}

int checkedOutput(int status) {
  flushOutput();
  if (firstFailure == 0 && std::ferror(stdout) == 0) return status;
  if (firstFailure != 0)
    std::fprintf(stderr, "error: standard output could not be written: %s\n",
                 std::strerror(firstFailure));
  else
    std::fputs("error: standard output could not be written\n", stderr);
  std::fflush(stderr);
  return status == exitDone ? exitOutputFailed : status;
}

int checkedLog(int status) {
  flushOutput();
  if (firstFailure == EPIPE) return status;
  return checkedOutput(status);
}
