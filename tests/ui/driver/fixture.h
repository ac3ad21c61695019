// The window tests' fixture: a folder of the test's own for images, the
// program's standard output and the adapter double's record.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"
#include "tests/ui/driver/app.h"

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes an image into the test's folder; returns its Windows path.
  std::string writeImage(const std::string& name, const std::vector<std::uint8_t>& bytes);

  std::unique_ptr<TempFolder> folder;
  std::string workDir;  // the folder's path, without a separator at its end
};

std::vector<std::uint8_t> patternImage(std::size_t size);
std::vector<std::string> linesOf(const std::string& text);

// Checks the just-started program's window and its controls.
void expectFreshWindow(const App& app);
