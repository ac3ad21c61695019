// The adapter double's record of calls, and what an upload must look like in
// it. The expected frames are built here from the image, byte by byte, with
// a bit-wise CRC of their own: nothing is borrowed from the uploader.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct LineCall {
  long long micros = 0;
  std::string name;                           // "FT_Write", ...
  std::map<std::string, std::string> fields;  // name=value pairs
  long result = 0;
};

// Reads the double's record; empty when the library was never called.
std::vector<LineCall> readLineRecord(const std::string& path);

std::vector<std::string> callNames(const std::vector<LineCall>& calls);

// Frames as the devices must receive them, in upper-case hex.
std::uint16_t kermitCrc(const std::vector<std::uint8_t>& bytes);
std::string resetFrameHex(std::uint16_t address);
std::string dataFrameHex(const std::vector<std::uint8_t>& image, std::size_t frame);

// One frame and how many times in a row it was written.
struct FrameRun {
  std::string hex;
  int count;
  bool operator==(const FrameRun&) const = default;
};

struct UploadExpectation {
  std::string serial;  // the adapter that must be opened
  std::uint16_t resetAddress;
  std::vector<std::uint8_t> image;
  int leadFrames;   // first data frames sent 30 extra times
  unsigned paceMs;  // 50, or 11 in fast mode
};

// The runs an upload of the image must produce: the reset frame 10 times,
// then each data frame 10 times (40 for the lead frames).
std::vector<FrameRun> expectedRuns(const UploadExpectation& e);
std::vector<FrameRun> runsOf(const std::vector<LineCall>& calls);

// Checks one whole upload in `calls` (listing to closing): the order of the
// calls, the line settings, the frames, and the gaps between writes.
void expectUpload(const std::vector<LineCall>& calls, const UploadExpectation& e);

// gtest prints runs readably.
void PrintTo(const FrameRun& run, std::ostream* os);
