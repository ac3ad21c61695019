// The progress display: what the bar and the plain lines say, and how often
// they are written.
#include "cli/progress.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string contentsOf(std::FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string s;
  for (int c; (c = std::fgetc(f)) != EOF;) s.push_back(static_cast<char>(c));
  return s;
}

TEST(Progress, BarShowsPercentBytesFramesAndTimes) {
  ProgressFigures f;
  f.bytes = 1024;
  f.total = 3000;
  f.elapsed = 3.4;
  f.remaining = 65;
  EXPECT_EQ(progressBar(f),
            "[########................]  34%  1024/3000 B  16/47 frames  00:03 elapsed  "
            "01:05 left");
  f.remaining = -1;
  EXPECT_NE(progressBar(f).find("--:-- left"), std::string::npos);
  f.bytes = 3000;
  f.remaining = 0;
  f.elapsed = 3725;
  EXPECT_EQ(progressBar(f),
            "[########################] 100%  3000/3000 B  47/47 frames  1:02:05 elapsed  "
            "00:00 left");
}

TEST(Progress, PlainLineForLogs) {
  ProgressFigures f;
  f.bytes = 960;
  f.total = 3000;
  f.elapsed = 2.6;
  EXPECT_EQ(progressLine(f), "progress: 32% (960/3000 bytes, 15/47 frames, 00:03 elapsed)");
}

TEST(Progress, PlainLinesComeOncePerTenthAndEndAtAHundred) {
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  ProgressDisplay d(out, false);
  d.update(64);  // before the line opens: nothing
  d.start(6400);
  for (std::int32_t b = 0; b <= 6400; b += 64) d.update(b);
  d.update(6400);
  d.finish();
  const std::string text = contentsOf(out);
  std::fclose(out);
  std::size_t lines = 0;
  for (char c : text) lines += c == '\n';
  EXPECT_EQ(lines, 10u) << text;
  EXPECT_EQ(text.rfind("progress: 10% (640/6400 bytes, 10/100 frames", 0), 0u) << text;
  EXPECT_NE(text.find("progress: 100% (6400/6400 bytes, 100/100 frames"), std::string::npos);
  EXPECT_EQ(text.find('\r'), std::string::npos);
}

TEST(Progress, ABigStepPrintsOneLine) {
  std::FILE* out = std::tmpfile();
  ProgressDisplay d(out, false);
  d.start(100);
  d.update(100);  // one frame carries it all
  const std::string text = contentsOf(out);
  std::fclose(out);
  EXPECT_EQ(text.rfind("progress: 100% (100/100 bytes, 2/2 frames", 0), 0u) << text;
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
}

TEST(Progress, TheBarRedrawsInPlaceAtMostTenTimesASecond) {
  std::FILE* out = std::tmpfile();
  ProgressDisplay d(out, true);
  d.start(64000);
  const auto begun = std::chrono::steady_clock::now();
  for (std::int32_t b = 64; b <= 64000; b += 64) d.update(b);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
  d.finish();  // already ended by the last update: no second line end
  const std::string text = contentsOf(out);
  std::fclose(out);
  const auto draws = std::count(text.begin(), text.end(), '\r');
  // The first position and the last are always drawn; in between, one per 100 ms.
  EXPECT_GE(draws, 2);
  EXPECT_LE(draws, 2 + static_cast<long>(seconds * 10));
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
  EXPECT_EQ(text.back(), '\n');
  EXPECT_NE(text.find("100%  64000/64000 B"), std::string::npos);
}

TEST(Progress, FinishingMidwayEndsTheBarsLine) {
  std::FILE* out = std::tmpfile();
  ProgressDisplay d(out, true);
  d.start(640);
  d.update(64);
  d.finish();
  d.update(128);  // after the line closed: nothing more
  const std::string text = contentsOf(out);
  std::fclose(out);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 1);
  EXPECT_EQ(text.back(), '\n');
}

}  // namespace

namespace {

TEST(ProgressLayout, FitsEveryWidthWithoutItsLastColumn) {
  ProgressFigures f;
  f.bytes = 1024;
  f.total = 3000;
  f.elapsed = 3.4;
  f.remaining = 65;
  EXPECT_EQ(progressBar(f, 120), progressBar(f));  // everything fits
  // A narrower bar first; then the frames, the elapsed time and the bytes go.
  EXPECT_EQ(progressBar(f, 80),
            "[######............]  34%  1024/3000 B  16/47 frames  00:03 elapsed  01:05 left");
  EXPECT_EQ(progressBar(f, 60), "[####........]  34%  1024/3000 B  00:03 elapsed  01:05 left");
  EXPECT_EQ(progressBar(f, 40), "[######..............]  34%  01:05 left");
  EXPECT_EQ(progressBar(f, 20), "[####........]  34%");
  for (std::size_t width = 1; width <= 90; ++width)
    EXPECT_LT(progressBar(f, width).size(), width) << width;
}

TEST(ProgressLayout, TheBarFollowsTheTerminalsWidthAtEveryRedraw) {
  std::FILE* out = std::tmpfile();
  std::size_t columns = 60;
  ProgressDisplay d(out, true, [&columns] { return columns; });
  d.start(6400);
  d.update(640);
  columns = 30;  // made narrower: no blanks over the longer bar beyond the new width
  std::this_thread::sleep_for(std::chrono::milliseconds(110));
  d.update(6400);
  const std::string text = contentsOf(out);
  std::fclose(out);
  const std::size_t second = text.rfind('\r');
  EXPECT_LE(text.find('\r', 1), 60u) << text;  // the first bar within 59 columns
  EXPECT_EQ(text.substr(second), "\r[##########] 100%  00:00 left\n") << text;
}

}  // namespace
