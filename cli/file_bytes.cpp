#include "cli/file_bytes.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "files/bounded_file.h"
#include "files/open_output.h"
#include "files/shown_text.h"

bool readFileBytes(const std::string& path, std::vector<std::uint8_t>& out, std::string& error,
                   std::size_t limit) {
  const files::Problem problem = files::readFile(path, limit, out, error);
  if (problem == files::Problem::tooLarge && limit == kLargestImage)
    error += ", more than any image can be";
  return problem == files::Problem::none;
}

bool writeFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes,
                    std::string& error) {
  // A FIFO or a socket is refused at once rather than waited on for a reader.
  std::FILE* f = files::openForWriting(path, error);
  if (f == nullptr) return false;
  bool written = bytes.empty() || std::fwrite(bytes.data(), bytes.size(), 1, f) == 1;
  if (written) written = std::fflush(f) == 0;
  const int code = errno;
  const bool closed = std::fclose(f) == 0;
  if (!written || !closed)
    error = "cannot write " + files::quoted(path) + ": " + std::strerror(written ? errno : code);
  return written && closed;
}

bool sameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  return std::filesystem::equivalent(a, b, ec) && !ec;
}
