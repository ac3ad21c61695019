#include "tests/ui/driver/fixture.h"

#include <filesystem>
#include <fstream>
#include <sstream>

void WindowTest::SetUp() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  folder = std::make_unique<TempFolder>(std::string("uploader-ui-") + info->test_suite_name() +
                                        "-" + info->name());
  workDir = std::filesystem::absolute(folder->path()).string();
  while (!workDir.empty() && (workDir.back() == '\\' || workDir.back() == '/')) workDir.pop_back();
}

void WindowTest::TearDown() { folder.reset(); }

std::string WindowTest::writeImage(const std::string& name,
                                   const std::vector<std::uint8_t>& bytes) {
  const std::string path = workDir + "\\" + name;
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return path;
}

std::vector<std::uint8_t> patternImage(std::size_t size) {
  std::vector<std::uint8_t> image(size);
  for (std::size_t i = 0; i < size; ++i) image[i] = static_cast<std::uint8_t>(i * 37 + 11);
  return image;
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}
