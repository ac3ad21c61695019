// Reading the files a person names (an image, a capture, the --expect file,
// the sACN CID file), whatever they turn out to be. Only regular files are
// opened: a directory, a device such as /dev/zero, a FIFO or a socket is
// refused after a look at what the name leads to and before it is opened, so
// nothing blocks on a FIFO or runs on forever; the open itself does not wait
// either (O_NONBLOCK), and what was opened is checked again. Whole-file reads
// stop at a limit the caller gives. Every refusal says what the file really is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace files {

enum class Problem : std::uint8_t {
  none,
  missing,          // no such file
  denied,           // no permission to read it
  directory,        // a directory (folder)
  characterDevice,  // /dev/zero, a terminal, NUL or CON on Windows
  blockDevice,      // a disk
  fifo,             // a named pipe
  socket,
  loop,        // a loop of symbolic links
  tooLarge,    // more bytes than the caller's limit
  unreadable,  // anything else; the system's reason is in the message
};

// The platform's part: opens `path` for reading in binary mode when it is a
// regular file. Null with `problem` and, for Problem::unreadable, the
// system's `reason` otherwise.
std::FILE* openRegularFile(const std::string& path, Problem& problem, std::string& reason);

// One line for a person: "\"PATH\" is a directory, not a file" and the like;
// the path is shown with control characters escaped.
std::string problemText(const std::string& path, Problem problem, const std::string& reason,
                        std::size_t limit = 0);

// A regular file open for reading, closed when this goes.
class InputFile {
 public:
  InputFile() = default;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile() { close(); }

  // False, with problem() and error(), when `path` is not a regular file that can be opened.
  bool open(const std::string& path);
  void close();
  std::FILE* stream() const { return file_; }
  Problem problem() const { return problem_; }
  const std::string& error() const { return error_; }

 private:
  std::FILE* file_ = nullptr;
  Problem problem_ = Problem::none;
  std::string error_;
};

// Reads all of `path` into `out` when it is a regular file of at most
// `limit` bytes; otherwise returns the problem, with `error` saying it.
Problem readFile(const std::string& path, std::size_t limit, std::vector<std::uint8_t>& out,
                 std::string& error);

}  // namespace files
