#include "files/bounded_file.h"

#include <cerrno>
#include <cstring>

#include "files/shown_text.h"

namespace files {

std::string problemText(const std::string& path, Problem problem, const std::string& reason,
                        std::size_t limit) {
  const std::string name = quoted(path);
  switch (problem) {
    case Problem::none:
      break;
    case Problem::missing:
      return name + " does not exist";
    case Problem::denied:
      return "no permission to read " + name;
    case Problem::directory:
      return name + " is a directory, not a file";
    case Problem::characterDevice:
      return name + " is a character device, not a file";
    case Problem::blockDevice:
      return name + " is a block device, not a file";
    case Problem::fifo:
      return name + " is a FIFO (named pipe), not a file";
    case Problem::socket:
      return name + " is a socket, not a file";
    case Problem::loop:
      return name + " is a loop of symbolic links";
    case Problem::tooLarge:
      return name + " is larger than " + std::to_string(limit) + " bytes";
    case Problem::unreadable:
      return "cannot read " + name + (reason.empty() ? "" : ": " + reason);
  }
  return {};
}

bool InputFile::open(const std::string& path) {
  close();
  std::string reason;
  problem_ = Problem::none;
  file_ = openRegularFile(path, problem_, reason);
  if (file_ != nullptr) {
    error_.clear();
    return true;
  }
  error_ = problemText(path, problem_, reason);
  return false;
}

void InputFile::close() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
}

Problem readFile(const std::string& path, std::size_t limit, std::vector<std::uint8_t>& out,
                 std::string& error) {
  out.clear();
  InputFile in;
  if (!in.open(path)) {
    error = in.error();
    return in.problem();
  }
  // One byte past the limit tells a file that is too large, whatever its size claims.
  std::uint8_t chunk[16384];
  for (;;) {
    const std::size_t room = limit + 1 - out.size();
    const std::size_t n =
        std::fread(chunk, 1, room < sizeof chunk ? room : sizeof chunk, in.stream());
    out.insert(out.end(), chunk, chunk + n);
    if (out.size() > limit) {
      out.clear();
      error = problemText(path, Problem::tooLarge, "", limit);
      return Problem::tooLarge;
    }
    if (n == 0) break;
  }
  if (std::ferror(in.stream()) != 0) {
    const int code = errno;
    out.clear();
    error = problemText(path, Problem::unreadable, code != 0 ? std::strerror(code) : "");
    return Problem::unreadable;
  }
  return Problem::none;
}

}  // namespace files
