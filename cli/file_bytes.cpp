#include "cli/file_bytes.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

bool readFileBytes(const std::string& path, std::vector<std::uint8_t>& out, std::string& error) {
  out.clear();
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    error = "cannot read \"" + path + "\": " + std::strerror(errno);
    return false;
  }
  std::uint8_t chunk[65536];
  std::size_t n = 0;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) out.insert(out.end(), chunk, chunk + n);
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) error = "cannot read \"" + path + "\"";
  return !failed;
}

bool writeFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes,
                    std::string& error) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) {
    error = "cannot create \"" + path + "\": " + std::strerror(errno);
    return false;
  }
  const bool written = bytes.empty() || std::fwrite(bytes.data(), bytes.size(), 1, f) == 1;
  const bool closed = std::fclose(f) == 0;
  if (!written || !closed) error = "cannot write \"" + path + "\"";
  return written && closed;
}

bool sameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  return std::filesystem::equivalent(a, b, ec) && !ec;
}
