// A folder of a test's own under the temporary directory. Its name is made
// fresh each time (never reused while it exists), so that tests, two test
// runs of one build and runs of several builds can go on at the same time.
// Removed, with all it holds, when the TempFolder goes. Needs no GoogleTest:
// benchmarks use it too.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

class TempFolder {
 public:
  // `label` begins the folder's name, so that one left behind tells whose it
  // was; characters a file name may not hold become '_'.
  explicit TempFolder(std::string_view label = "uploader-test");
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string string() const { return path_.string(); }
  std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }

  // Leaves the folder behind (a failed test's files, to look at).
  void keep() { keep_ = true; }

 private:
  std::filesystem::path path_;
  bool keep_ = false;
};
