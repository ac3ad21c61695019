#include "tests/ui/driver/line_record.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

constexpr std::size_t kPayload = 64;

std::string hexOf(const std::vector<std::uint8_t>& bytes) {
  std::string hex;
  char two[3];
  for (std::uint8_t b : bytes) {
    std::snprintf(two, sizeof two, "%02X", b);
    hex += two;
  }
  return hex;
}

// A frame from its first ten bytes and payload, with the CRC appended.
std::string sealed(std::vector<std::uint8_t> frame) {
  const std::uint16_t crc = kermitCrc(frame);
  frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
  frame.push_back(static_cast<std::uint8_t>(crc >> 8));
  return hexOf(frame);
}

long long median(std::vector<long long> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

std::vector<LineCall> readLineRecord(const std::string& path) {
  std::vector<LineCall> calls;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream words(line);
    LineCall call;
    words >> call.micros >> call.name;
    for (std::string word; words >> word;) {
      if (word == "->") {
        words >> call.result;
        break;
      }
      const std::size_t eq = word.find('=');
      if (eq != std::string::npos) call.fields[word.substr(0, eq)] = word.substr(eq + 1);
    }
    calls.push_back(call);
  }
  return calls;
}

std::vector<std::string> callNames(const std::vector<LineCall>& calls) {
  std::vector<std::string> names;
  for (const LineCall& c : calls) names.push_back(c.name);
  return names;
}

std::uint16_t kermitCrc(const std::vector<std::uint8_t>& bytes) {
  std::uint16_t crc = 0;
  for (std::uint8_t b : bytes) {
    crc ^= b;
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0x8408)
                      : static_cast<std::uint16_t>(crc >> 1);
  }
  return crc;
}

std::string resetFrameHex(std::uint16_t address) {
  std::vector<std::uint8_t> f = {0x91,
                                 0x29,
                                 0xA9,
                                 0xFF,
                                 static_cast<std::uint8_t>(address & 0xFF),
                                 static_cast<std::uint8_t>(address >> 8),
                                 0,
                                 0,
                                 0,
                                 0};
  f.resize(10 + kPayload, 0);
  return sealed(f);
}

std::string dataFrameHex(const std::vector<std::uint8_t>& image, std::size_t frame) {
  std::vector<std::uint8_t> f = {0x91,
                                 0x29,
                                 0xA9,
                                 0xFE,
                                 0xFF,
                                 0xFF,
                                 0,
                                 0,
                                 static_cast<std::uint8_t>(frame & 0xFF),
                                 static_cast<std::uint8_t>((frame >> 8) & 0xFF)};
  for (std::size_t i = 0; i < kPayload; ++i) {
    const std::size_t at = frame * kPayload + i;
    f.push_back(at < image.size() ? image[at] : 0);
  }
  return sealed(f);
}

std::vector<FrameRun> expectedRuns(const UploadExpectation& e) {
  std::vector<FrameRun> runs = {{resetFrameHex(e.resetAddress), 10}};
  const std::size_t frames = (e.image.size() + kPayload - 1) / kPayload;
  for (std::size_t i = 0; i < frames; ++i)
    runs.push_back({dataFrameHex(e.image, i), static_cast<int>(i) < e.leadFrames ? 40 : 10});
  return runs;
}

std::vector<FrameRun> runsOf(const std::vector<LineCall>& calls) {
  std::vector<FrameRun> runs;
  for (const LineCall& c : calls) {
    if (c.name != "FT_Write") continue;
    const std::string& hex = c.fields.at("bytes");
    if (!runs.empty() && runs.back().hex == hex)
      ++runs.back().count;
    else
      runs.push_back({hex, 1});
  }
  return runs;
}

void expectUpload(const std::vector<LineCall>& calls, const UploadExpectation& e) {
  ASSERT_GE(calls.size(), 6u) << "too few adapter calls for an upload";
  // Listing, opening the first listed adapter, the line settings.
  EXPECT_EQ(calls[0].name, "FT_ListDevices");
  EXPECT_EQ(calls[0].fields.at("flags"), "0x20000001");
  EXPECT_EQ(calls[0].result, 0);
  ASSERT_EQ(calls[1].name, "FT_OpenEx");
  EXPECT_EQ(calls[1].fields.at("serial"), e.serial);
  EXPECT_EQ(calls[1].fields.at("flags"), "1");
  ASSERT_EQ(calls[1].result, 0);
  const std::string handle = calls[1].fields.at("handle");
  ASSERT_EQ(calls[2].name, "FT_SetBaudRate");
  EXPECT_EQ(calls[2].fields.at("baud"), "250000");
  ASSERT_EQ(calls[3].name, "FT_SetDataCharacteristics");
  EXPECT_EQ(calls[3].fields.at("bits"), "8");
  EXPECT_EQ(calls[3].fields.at("stop"), "2");
  EXPECT_EQ(calls[3].fields.at("parity"), "0");
  ASSERT_EQ(calls[4].name, "FT_W32_EscapeCommFunction");
  EXPECT_EQ(calls[4].fields.at("func"), "4");  // clear RTS

  // Every frame: break set, break cleared, 76 bytes; then the closing.
  std::vector<long long> writeTimes;
  std::size_t i = 5;
  for (; i + 2 < calls.size() && calls[i].name != "FT_Close"; i += 3) {
    ASSERT_EQ(calls[i].name, "FT_W32_SetCommBreak") << "call " << i;
    ASSERT_EQ(calls[i + 1].name, "FT_W32_ClearCommBreak") << "call " << i + 1;
    ASSERT_EQ(calls[i + 2].name, "FT_Write") << "call " << i + 2;
    EXPECT_EQ(calls[i + 2].fields.at("length"), "76");
    EXPECT_EQ(calls[i + 2].result, 0);
    writeTimes.push_back(calls[i + 2].micros);
  }
  ASSERT_LT(i, calls.size());
  EXPECT_EQ(calls[i].name, "FT_Close");
  EXPECT_EQ(i + 1, calls.size()) << "calls after the adapter was closed";
  for (const LineCall& c : calls)
    if (c.name != "FT_ListDevices" && c.name != "FT_OpenEx") {
      EXPECT_EQ(c.fields.at("handle"), handle) << c.name << " on another handle";
    }

  const std::vector<FrameRun> want = expectedRuns(e);
  EXPECT_EQ(runsOf(calls), want);

  // Pauses are never shorter than asked: 10 ms between reset frames, 1 s
  // after the burst, the data pace between data frames.
  ASSERT_GE(writeTimes.size(), 11u);
  const long long slack = 200;  // microseconds, for the two processes' clocks
  for (std::size_t w = 1; w < 10; ++w)
    EXPECT_GE(writeTimes[w] - writeTimes[w - 1], 10000 - slack) << "reset send " << w;
  EXPECT_GE(writeTimes[10] - writeTimes[9], 1010000 - slack) << "silence after the reset burst";
  std::vector<long long> dataGaps;
  for (std::size_t w = 11; w < writeTimes.size(); ++w) {
    dataGaps.push_back(writeTimes[w] - writeTimes[w - 1]);
    EXPECT_GE(dataGaps.back(), e.paceMs * 1000LL - slack) << "data send " << w;
  }
  // The fast pace is told from the normal one by the typical gap.
  if (e.paceMs < 50 && !dataGaps.empty()) {
    EXPECT_LT(median(dataGaps), 30000) << "fast mode sends at the normal pace";
  }
}

void PrintTo(const FrameRun& run, std::ostream* os) { *os << run.count << " x " << run.hex; }
