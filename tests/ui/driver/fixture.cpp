#include "tests/ui/driver/fixture.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>

void WindowTest::SetUp() {
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::filesystem::path dir =
      std::filesystem::path(temp) /
      (std::string("uploader-ui-") + info->test_suite_name() + "-" + info->name());
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  workDir = std::filesystem::absolute(dir).string();
  while (!workDir.empty() && (workDir.back() == '\\' || workDir.back() == '/')) workDir.pop_back();
}

void WindowTest::TearDown() {
  std::error_code ec;
  std::filesystem::remove_all(workDir, ec);
}

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
