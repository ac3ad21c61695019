#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "files/bounded_file.h"

namespace files {
namespace {

Problem kindOf(mode_t mode) {
  if (S_ISREG(mode)) return Problem::none;
  if (S_ISDIR(mode)) return Problem::directory;
  if (S_ISCHR(mode)) return Problem::characterDevice;
  if (S_ISBLK(mode)) return Problem::blockDevice;
  if (S_ISFIFO(mode)) return Problem::fifo;
  if (S_ISSOCK(mode)) return Problem::socket;
  return Problem::unreadable;
}

Problem fromErrno(int code, std::string& reason) {
  switch (code) {
    case ENOENT:
      return Problem::missing;
    case EACCES:
    case EPERM:
      return Problem::denied;
    case ELOOP:
      return Problem::loop;
    case EISDIR:
      return Problem::directory;
    default:
      reason = std::strerror(code);
      return Problem::unreadable;
  }
}

}  // namespace

std::FILE* openRegularFile(const std::string& path, Problem& problem, std::string& reason) {
  struct stat seen {};
  if (::stat(path.c_str(), &seen) != 0) {
    problem = fromErrno(errno, reason);
    return nullptr;
  }
  // Whatever is not a regular file is refused before it is opened: opening a
  // device can do something, and a FIFO could block.
  if ((problem = kindOf(seen.st_mode)) != Problem::none) return nullptr;
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    problem = fromErrno(errno, reason);
    return nullptr;
  }
  // The name may have been pointed elsewhere since the look: check what is open.
  struct stat opened {};
  if (::fstat(fd, &opened) != 0) {
    problem = fromErrno(errno, reason);
  } else {
    problem = kindOf(opened.st_mode);
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (problem == Problem::none && flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
    problem = fromErrno(errno, reason);
  std::FILE* f = problem == Problem::none ? ::fdopen(fd, "rb") : nullptr;
  if (f == nullptr) {
    if (problem == Problem::none) problem = fromErrno(errno, reason);
    ::close(fd);
  }
  return f;
}

}  // namespace files
