// End-to-end tests run the built uploader-cli as a process, in a folder of
// their own, on the simulated adapter with its real pacing. Images stay tiny
// and the pace fast: every upload still takes more than 1.1 s.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/cli/run_process.h"
#include "tests/support/temp_folder.h"

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder = std::make_unique<TempFolder>(std::string("uploader-cli-") + info->test_suite_name() +
                                          "-" + info->name());
    dir = folder->string();
  }
  void TearDown() override {
    if (HasFailure()) folder->keep();  // its files, to look at
    folder.reset();
  }

  ProcessResult cli(const std::vector<std::string>& args, int timeoutSeconds = 120,
                    const ChildSetup& setup = {}) {
    return runProcess(program(), args, dir, timeoutSeconds, setup);
  }

  // The uploader-cli built beside the tests, or another one named by UPLOADER_CLI.
  static std::string program() {
    const char* other = std::getenv("UPLOADER_CLI");
    return other != nullptr && other[0] != '\0' ? other : UPLOADER_CLI_PATH;
  }

  // Writes an image of `size` bytes that differ from offset to offset.
  std::string image(std::size_t size, const char* name = "image.bin") {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 11 + 3);
    return file(name, bytes);
  }

  std::string file(const char* name, const std::vector<std::uint8_t>& bytes) {
    const std::string path = (std::filesystem::path(dir) / name).string();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return path;
  }

  std::vector<std::uint8_t> read(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return bytes;
    for (int c; (c = std::fgetc(f)) != EOF;) bytes.push_back(static_cast<std::uint8_t>(c));
    std::fclose(f);
    return bytes;
  }

  std::unique_ptr<TempFolder> folder;
  std::string dir;  // the folder's path
};

inline bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Everything a failed expectation needs to explain itself.
inline std::string show(const ProcessResult& r) {
  return "exit " + std::to_string(r.exitCode) + "\n--- stdout:\n" + r.out + "--- stderr:\n" + r.err;
}
