#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "files/open_output.h"
#include "files/shown_text.h"

namespace files {

// Windows has no FIFO that an open waits on: a named pipe (\\.\pipe\NAME)
// is made by its reader, and opening it without one fails at once.
namespace {

std::FILE* openOutput(const std::string& path, const char* mode, std::string& error) {
  struct _stat64 seen {};
  if (::_stat64(path.c_str(), &seen) == 0 && (seen.st_mode & _S_IFDIR) != 0) {
    error = quoted(path) + " is a directory: give a regular file";
    return nullptr;
  }
  std::FILE* f = std::fopen(path.c_str(), mode);
  if (f == nullptr) error = "cannot open " + quoted(path) + ": " + std::strerror(errno);
  return f;
}

}  // namespace

std::FILE* openForAppend(const std::string& path, std::string& error) {
  return openOutput(path, "ab", error);
}

std::FILE* openForWriting(const std::string& path, std::string& error) {
  return openOutput(path, "wb", error);
}

std::FILE* openFifoForWriting(const std::string& path, unsigned, const std::function<bool()>& stop,
                              FifoOpen& result, std::string& error) {
  if (stop && stop()) {
    result = FifoOpen::stopped;
    error = "stopped before opening " + quoted(path);
    return nullptr;
  }
  std::FILE* f = std::fopen(path.c_str(), "wb");
  result = f != nullptr ? FifoOpen::opened : FifoOpen::failed;
  if (f == nullptr) error = "cannot open " + quoted(path) + ": " + std::strerror(errno);
  return f;
}

}  // namespace files
