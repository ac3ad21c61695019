// The capture reader on files built byte by byte: both byte orders, both
// time units, files cut short, and things that are not captures at all.
#include "device/capture_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "tests/support/temp_folder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void put32(Bytes& b, std::uint32_t v, bool bigEndian) {
  for (int i = 0; i < 4; ++i) {
    const int shift = bigEndian ? 24 - 8 * i : 8 * i;
    b.push_back(static_cast<std::uint8_t>(v >> shift));
  }
}

void put16(Bytes& b, std::uint16_t v, bool bigEndian) {
  b.push_back(static_cast<std::uint8_t>(bigEndian ? v >> 8 : v));
  b.push_back(static_cast<std::uint8_t>(bigEndian ? v : v >> 8));
}

Bytes header(std::uint32_t magic, bool bigEndian, std::uint32_t linkType = 147) {
  Bytes b;
  put32(b, magic, bigEndian);
  put16(b, 2, bigEndian);
  put16(b, 4, bigEndian);
  put32(b, 0, bigEndian);
  put32(b, 0, bigEndian);
  put32(b, 65535, bigEndian);
  put32(b, linkType, bigEndian);
  return b;
}

void record(Bytes& b, std::uint32_t sec, std::uint32_t frac, const Bytes& data, bool bigEndian,
            std::uint32_t originalLength = 0) {
  put32(b, sec, bigEndian);
  put32(b, frac, bigEndian);
  put32(b, static_cast<std::uint32_t>(data.size()), bigEndian);
  put32(b, originalLength != 0 ? originalLength : static_cast<std::uint32_t>(data.size()),
        bigEndian);
  b.insert(b.end(), data.begin(), data.end());
}

bool parse(const Bytes& b, vdev::Capture& c, std::string& error) {
  return vdev::parseCapture(b.data(), b.size(), c, error);
}

TEST(CaptureReader, ReadsBothByteOrdersAndBothTimeUnits) {
  const Bytes first(76, 0x91), second{0x91, 0x29, 0xA9};
  struct Case {
    std::uint32_t magic;
    bool bigEndian;
    std::uint32_t fraction;
  } cases[] = {{0xA1B2C3D4, false, 250'000},
               {0xA1B2C3D4, true, 250'000},
               {0xA1B23C4D, false, 250'000'000},
               {0xA1B23C4D, true, 250'000'999}};
  for (const Case& k : cases) {
    Bytes b = header(k.magic, k.bigEndian);
    record(b, 1'700'000'000, k.fraction, first, k.bigEndian);
    record(b, 1'700'000'001, 0, second, k.bigEndian, 76);
    vdev::Capture c;
    std::string error;
    ASSERT_TRUE(parse(b, c, error)) << error;
    EXPECT_EQ(c.swapped, k.bigEndian);
    EXPECT_EQ(c.nanoseconds, k.magic == 0xA1B23C4D);
    EXPECT_EQ(c.linkType, 147u);
    EXPECT_EQ(c.snapLength, 65535u);
    ASSERT_EQ(c.records.size(), 2u);
    EXPECT_EQ(c.records[0].micros, 1'700'000'000'250'000);
    EXPECT_EQ(c.records[0].bytes, first);
    EXPECT_EQ(c.records[1].micros, 1'700'000'001'000'000);
    EXPECT_EQ(c.records[1].bytes, second);
    EXPECT_EQ(c.records[1].originalLength, 76u);
    EXPECT_EQ(c.trailingBytes, 0u);
  }
}

TEST(CaptureReader, KeepsEveryWholeRecordOfACaptureCutShort) {
  Bytes whole = header(0xA1B2C3D4, false);
  for (std::uint32_t i = 0; i < 3; ++i)
    record(whole, i, 0, Bytes(76, static_cast<std::uint8_t>(i)), false);
  const std::size_t recordSize = 16 + 76;
  const std::size_t twoRecords = 24 + 2 * recordSize;
  for (std::size_t cut : {twoRecords + 1, twoRecords + 15, twoRecords + 16, twoRecords + 91}) {
    const Bytes b(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut));
    vdev::Capture c;
    std::string error;
    ASSERT_TRUE(parse(b, c, error)) << error;
    EXPECT_EQ(c.records.size(), 2u) << cut;
    EXPECT_EQ(c.trailingBytes, cut - twoRecords) << cut;
  }
  vdev::Capture c;
  std::string error;
  ASSERT_TRUE(parse(Bytes(whole.begin(), whole.begin() + 24), c, error)) << error;
  EXPECT_TRUE(c.records.empty());
}

TEST(CaptureReader, RefusesWhatIsNotAClassicCapture) {
  struct Case {
    Bytes bytes;
    const char* says;
  };
  Bytes pcapng{0x0A, 0x0D, 0x0D, 0x0A, 0, 0, 0, 0};
  Bytes cutHeader = header(0xA1B2C3D4, false);
  cutHeader.resize(20);
  Bytes hostile = header(0xA1B2C3D4, false);
  put32(hostile, 0, false);
  put32(hostile, 0, false);
  put32(hostile, 0xFFFFFFF0u, false);  // a record "this long" cannot be real
  put32(hostile, 0xFFFFFFF0u, false);
  const Case cases[] = {
      {{}, "too short"},  {{0xA1, 0xB2}, "too short"},     {Bytes(64, 'x'), "not a pcap"},
      {pcapng, "pcapng"}, {cutHeader, "header cut short"}, {hostile, "damaged"}};
  for (const Case& k : cases) {
    vdev::Capture c;
    std::string error;
    EXPECT_FALSE(parse(k.bytes, c, error)) << k.says;
    EXPECT_NE(error.find(k.says), std::string::npos) << error;
  }
}

TEST(CaptureReader, ReportsTheLinkTypeItFinds) {
  Bytes b = header(0xA1B2C3D4, false, 1);  // Ethernet
  vdev::Capture c;
  std::string error;
  ASSERT_TRUE(parse(b, c, error));
  EXPECT_EQ(c.linkType, 1u);
}

TEST(CaptureReader, ReadsAFileRecordByRecordAsItParsesMemory) {
  const TempFolder folder("uploader-capture-stream");
  const auto& dir = folder.path();
  const std::string path = (dir / "c.pcap").string();
  Bytes whole = header(0xA1B2C3D4, true);
  for (std::uint32_t i = 0; i < 3; ++i) record(whole, i, 0, Bytes(76 + i, 1), true);
  Bytes hostile = whole;
  put32(hostile, 0, true);
  put32(hostile, 0, true);
  put32(hostile, 300'000, true);
  for (std::size_t cut :
       {std::size_t{3}, std::size_t{24}, whole.size() - 9, whole.size(), hostile.size()}) {
    const Bytes b(hostile.begin(), hostile.begin() + static_cast<std::ptrdiff_t>(cut));
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(b.data(), 1, b.size(), f);
    std::fclose(f);
    vdev::Capture fromFile, fromMemory;
    std::string fileError, memoryError;
    EXPECT_EQ(vdev::readCapture(path, fromFile, fileError), parse(b, fromMemory, memoryError));
    EXPECT_NE(fileError.find(memoryError), std::string::npos) << cut << ": " << fileError;
    EXPECT_EQ(fromFile.records.size(), fromMemory.records.size()) << cut;
    EXPECT_EQ(fromFile.trailingBytes, fromMemory.trailingBytes) << cut;
    EXPECT_EQ(fromFile.swapped, fromMemory.swapped) << cut;
  }
  vdev::Capture c;
  std::string error;
  EXPECT_FALSE(vdev::readCapture(dir.string(), c, error));
  EXPECT_NE(error.find("is a directory"), std::string::npos) << error;
}

TEST(CaptureReader, NamesTheFileItCannotRead) {
  const TempFolder folder("uploader-capture-reader");
  const auto& dir = folder.path();
  const std::string missing = (dir / "no-such.pcap").string();
  vdev::Capture c;
  std::string error;
  EXPECT_FALSE(vdev::readCapture(missing, c, error));
  EXPECT_NE(error.find(missing), std::string::npos) << error;

  const std::string junk = (dir / "junk.pcap").string();
  std::FILE* f = std::fopen(junk.c_str(), "wb");
  std::fputs("hello, not a capture", f);
  std::fclose(f);
  EXPECT_FALSE(vdev::readCapture(junk, c, error));
  EXPECT_NE(error.find(junk), std::string::npos) << error;
}

}  // namespace
