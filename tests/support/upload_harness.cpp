#include "tests/support/upload_harness.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "engine/program.h"
#include "engine/state.h"

void UploadTest::SetUp() {
  mainLine.clock = &clock;
  mainLine.op = &op;
  mainLine.wantedSerial = nullptr;
  std::memset(szFile, 0, sizeof szFile);
  checked = false;
  address = 1;
  fw_size = 0;
  fw_ptr = 0;
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  folder = std::make_unique<TempFolder>(std::string("uploader-") + info->test_suite_name() + "-" +
                                        info->name());
  dir = folder->string();
}

void UploadTest::TearDown() {
  mainLine.adapter = nullptr;
  mainLine.clock = nullptr;
  mainLine.op = nullptr;
  mainLine.log = nullptr;
  folder.reset();
}

std::string UploadTest::chooseImage(const std::vector<std::uint8_t>& bytes, const char* name) {
  const std::string path = (std::filesystem::path(dir) / name).string();
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  std::snprintf(szFile, sizeof szFile, "%s", path.c_str());
  return path;
}

int UploadTest::run(const ReleaseProfile& profile) {
  selectProfile(profile);
  LogCollector collected;
  mainLine.adapter = adapter != nullptr ? adapter : sim_.get();
  mainLine.log = &collected;
  const int result = program();
  mainLine.log = nullptr;
  log = collected.text();
  return result;
}

std::vector<const sim::Record*> UploadTest::writes() const {
  std::vector<const sim::Record*> out;
  for (const sim::Record& r : sim_->record())
    if (r.call == sim::Call::write) out.push_back(&r);
  return out;
}

std::vector<std::string> UploadTest::logLines() const {
  std::vector<std::string> lines;
  std::istringstream in(log);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::uint8_t> patternImage(std::size_t n) {
  std::vector<std::uint8_t> v(n);
  for (std::size_t i = 0; i < n; ++i)
    v[i] = static_cast<std::uint8_t>((i * 7 + i / 256 + 1) & 0xFF);
  return v;
}
