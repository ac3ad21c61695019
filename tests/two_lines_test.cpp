// Two lines upload at once on two threads of one process, each with its own
// simulated adapter, clock, operator and log: neither sees the other, and
// each line's frames are exactly those of the same upload run alone. Built
// under ThreadSanitizer, this also proves the lines share no mutable state.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "drivers/sim.h"
#include "engine/line.h"
#include "engine/program.h"
#include "profiles/profiles.h"
#include "tests/support/stand_ins.h"
#include "tests/support/upload_harness.h"

namespace {

struct OwnLine {
  OwnLine(const ReleaseProfile& profile, const std::string& path, std::uint16_t address)
      : buffer(profile.imageCapacity) {
    lineUseProfile(line, profile, buffer.data(), buffer.size());
    std::snprintf(line.szFile, sizeof line.szFile, "%s", path.c_str());
    line.address = address;
    line.checked = true;
    line.adapter = &adapter;
    line.clock = &clock;
    line.op = &op;
    line.log = &log;
  }
  std::vector<std::vector<std::uint8_t>> frames() const {
    std::vector<std::vector<std::uint8_t>> out;
    for (const sim::Record& r : adapter.record())
      if (r.call == sim::Call::write) out.push_back(r.bytes);
    return out;
  }

  std::vector<std::uint8_t> buffer;
  Line line{};
  sim::SimAdapter adapter;
  InstantClock clock;
  QuietOperator op;
  LogCollector log;
};

std::string writeImage(const TempFolder& folder, const std::string& name, std::size_t size) {
  const auto path = folder / name;
  const auto bytes = patternImage(size);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(size));
  return path.string();
}

TEST(TwoLines, UploadAtOnceEachAsIfAlone) {
  const TempFolder folder("uploader-two-lines");
  const std::string a = writeImage(folder, "a.bin", 30000);
  const std::string b = writeImage(folder, "b.bin", 700);
  OwnLine aloneA(profileV1_2, a, 7), aloneB(profileV1_1, b, 9);
  ASSERT_EQ(program(aloneA.line), uploadDone);
  ASSERT_EQ(program(aloneB.line), uploadDone);

  OwnLine lineA(profileV1_2, a, 7), lineB(profileV1_1, b, 9);
  int resultA = -2, resultB = -2;
  std::thread ta([&] { resultA = program(lineA.line); });
  std::thread tb([&] { resultB = program(lineB.line); });
  ta.join();
  tb.join();

  EXPECT_EQ(resultA, uploadDone);
  EXPECT_EQ(resultB, uploadDone);
  EXPECT_EQ(lineA.frames(), aloneA.frames());
  EXPECT_EQ(lineB.frames(), aloneB.frames());
  EXPECT_EQ(lineA.clock.pauses, aloneA.clock.pauses);
  EXPECT_EQ(lineB.clock.pauses, aloneB.clock.pauses);
  EXPECT_EQ(lineA.log.text(), aloneA.log.text());
  EXPECT_EQ(lineB.log.text(), aloneB.log.text());
  EXPECT_EQ(lineA.op.lastInfo, "\nDONE\n\n" + a + "\nAddress=7");
  EXPECT_EQ(lineB.op.lastInfo, "\nDONE\n\n" + b + "\nAddress=9");
  std::filesystem::remove(a);
  std::filesystem::remove(b);
}

}  // namespace
