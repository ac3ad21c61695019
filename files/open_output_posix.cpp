#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "files/open_output.h"
#include "files/shown_text.h"

namespace files {
namespace {

const char* kindText(mode_t mode) {
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISFIFO(mode)) return "a FIFO (named pipe)";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISBLK(mode)) return "a block device (a disk)";
  return "not a regular file";
}

// Back to blocking writes, so that a full pipe or a slow terminal waits
// instead of failing a write; the stream for `fd`, or null (fd closed).
std::FILE* streamFor(int fd, const char* mode) {
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  std::FILE* f = ::fdopen(fd, mode);
  if (f == nullptr) ::close(fd);
  return f;
}

// A regular file or a character device, opened with `flags` (O_APPEND or
// O_TRUNC) as a stream of `mode`; anything else refused without a wait.
std::FILE* openOutput(const std::string& path, int flags, const char* mode, std::string& error) {
  // O_NONBLOCK: a FIFO without a reader fails at once (ENXIO) instead of
  // waiting; with a reader it opens and is refused below.
  const int fd =
      ::open(path.c_str(), O_WRONLY | flags | O_CREAT | O_NOCTTY | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd < 0) {
    const int code = errno;
    struct stat seen {};
    if (::stat(path.c_str(), &seen) == 0 && !S_ISREG(seen.st_mode) && !S_ISCHR(seen.st_mode))
      error = quoted(path) + " is " + kindText(seen.st_mode) +
              ": give a regular file (or a character device such as /dev/null)";
    else
      error = "cannot open " + quoted(path) + ": " + std::strerror(code);
    return nullptr;
  }
  struct stat opened {};
  if (::fstat(fd, &opened) != 0 || (!S_ISREG(opened.st_mode) && !S_ISCHR(opened.st_mode))) {
    error = quoted(path) + " is " + kindText(opened.st_mode) +
            ": give a regular file (or a character device such as /dev/null)";
    ::close(fd);
    return nullptr;
  }
  std::FILE* f = streamFor(fd, mode);
  if (f == nullptr) error = "cannot open " + quoted(path) + ": " + std::strerror(errno);
  return f;
}

}  // namespace

std::FILE* openForAppend(const std::string& path, std::string& error) {
  return openOutput(path, O_APPEND, "ab", error);
}

std::FILE* openForWriting(const std::string& path, std::string& error) {
  return openOutput(path, O_TRUNC, "wb", error);
}

std::FILE* openFifoForWriting(const std::string& path, unsigned waitMs,
                              const std::function<bool()>& stop, FifoOpen& result,
                              std::string& error) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  for (;;) {
    if (stop && stop()) {
      result = FifoOpen::stopped;
      error = "stopped while waiting for a reader of the FIFO " + quoted(path);
      return nullptr;
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
      std::FILE* f = streamFor(fd, "wb");
      result = f != nullptr ? FifoOpen::opened : FifoOpen::failed;
      if (f == nullptr) error = "cannot open " + quoted(path) + ": " + std::strerror(errno);
      return f;
    }
    if (errno != ENXIO) {  // ENXIO: no reader yet
      result = FifoOpen::failed;
      error = "cannot open " + quoted(path) + ": " + std::strerror(errno);
      return nullptr;
    }
    if (std::chrono::steady_clock::now() >= end) {
      result = FifoOpen::noReader;
      error = "no program read the FIFO " + quoted(path) + " within " +
              std::to_string(waitMs / 1000) +
              " s: start the reader (wireshark -k -i PATH) first, then the upload";
      return nullptr;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(kReaderSliceMs));
  }
}

}  // namespace files
