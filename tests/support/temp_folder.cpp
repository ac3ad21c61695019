#include "tests/support/temp_folder.h"

#include <system_error>

#ifdef _WIN32
#include <process.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <random>
#else
#include <stdlib.h>

#include <cerrno>
#include <vector>
#endif

namespace {

std::string safeName(std::string_view label) {
  std::string name(label.empty() ? std::string_view("uploader-test") : label);
  for (char& c : name) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '_' || c == '.';
    if (!plain) c = '_';
  }
  return name;
}

#ifdef _WIN32
// There is no mkdtemp: a name from the process id, a counter of this
// process, the time and a random number; create_directory fails on a name
// that exists, so a name taken meanwhile is never shared, only skipped.
std::filesystem::path makeFolder(const std::filesystem::path& base, const std::string& name) {
  static std::atomic<unsigned> counter{0};
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    const std::string suffix = std::to_string(_getpid()) + "-" + std::to_string(counter++) + "-" +
                               std::to_string(static_cast<std::uint64_t>(ticks) % 1000000) + "-" +
                               std::to_string(random());
    const std::filesystem::path p = base / (name + "-" + suffix);
    std::error_code ec;
    if (std::filesystem::create_directory(p, ec)) return p;
  }
  throw std::filesystem::filesystem_error("cannot make a temporary folder", base,
                                          std::make_error_code(std::errc::file_exists));
}
#else
std::filesystem::path makeFolder(const std::filesystem::path& base, const std::string& name) {
  const std::string pattern = (base / (name + "-XXXXXX")).string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()) == nullptr)
    throw std::filesystem::filesystem_error("cannot make a temporary folder", pattern,
                                            std::error_code(errno, std::generic_category()));
  return buffer.data();
}
#endif

}  // namespace

TempFolder::TempFolder(std::string_view label)
    : path_(makeFolder(std::filesystem::temp_directory_path(), safeName(label))) {}

TempFolder::~TempFolder() {
  if (keep_) return;
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}
