// The frame and its CRC against known vectors written out by hand.
#include "engine/frame.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

std::vector<std::uint8_t> bytesOf(const UploadFrame& f) { return {f.bytes, f.bytes + kFrameSize}; }

std::vector<std::uint8_t> expectedFrame(std::initializer_list<std::uint8_t> head,
                                        std::uint8_t crcLo, std::uint8_t crcHi) {
  std::vector<std::uint8_t> v(kFrameSize, 0);
  std::copy(head.begin(), head.end(), v.begin());
  v[74] = crcLo;
  v[75] = crcHi;
  return v;
}

TEST(Crc, MatchesCrc16KermitCatalogueValues) {
  const char* digits = "123456789";
  EXPECT_EQ(get_CRC(reinterpret_cast<const std::uint8_t*>(digits), 9), 0x2189);
  const char* abc = "abc";
  EXPECT_EQ(get_CRC(reinterpret_cast<const std::uint8_t*>(abc), 3), 0x58E9);
  EXPECT_EQ(get_CRC(nullptr, 0), 0);
}

TEST(Crc, StepAgreesWithBitwiseReflectedPolynomial) {
  // A bit-at-a-time reference with the reflected polynomial 0x8408.
  auto reference = [](std::uint16_t crc, std::uint8_t data) {
    crc ^= data;
    for (int i = 0; i < 8; ++i)
      crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0x8408)
                      : static_cast<std::uint16_t>(crc >> 1);
    return crc;
  };
  for (std::uint32_t crc : {0x0000u, 0xFFFFu, 0x1234u, 0x8408u, 0xA5A5u})
    for (int d = 0; d < 256; ++d)
      ASSERT_EQ(crc_ccitt_update(static_cast<std::uint16_t>(crc), static_cast<std::uint8_t>(d)),
                reference(static_cast<std::uint16_t>(crc), static_cast<std::uint8_t>(d)))
          << "crc " << crc << " data " << d;
}

TEST(Frame, ResetFramesMatchKnownBytes) {
  UploadFrame f;
  std::memset(f.bytes, 0xAA, sizeof f.bytes);  // stale content must be cleared
  frameBuildReset(f, 0xFFFF);
  frameSeal(f);
  EXPECT_EQ(bytesOf(f), expectedFrame({0x91, 0x29, 0xA9, 0xFF, 0xFF, 0xFF}, 0xEB, 0x47));

  frameBuildReset(f, 1);
  frameSeal(f);
  EXPECT_EQ(bytesOf(f), expectedFrame({0x91, 0x29, 0xA9, 0xFF, 0x01, 0x00}, 0xD3, 0x47));

  frameBuildReset(f, 512);
  EXPECT_EQ(f.bytes[4], 0x00);
  EXPECT_EQ(f.bytes[5], 0x02);
}

TEST(Frame, FirstDataFrameOfAbcMatchesKnownBytes) {
  UploadFrame f;
  frameBuildReset(f, 0xFFFF);
  frameSeal(f);
  frameMakeData(f);
  const std::uint8_t abc[] = {'a', 'b', 'c'};
  frameLoadChunk(f, abc, 3);
  frameSeal(f);
  EXPECT_EQ(bytesOf(f),
            expectedFrame({0x91, 0x29, 0xA9, 0xFE, 0xFF, 0xFF, 0, 0, 0, 0, 0x61, 0x62, 0x63}, 0xA2,
                          0x84));
}

TEST(Frame, ShortChunkClearsOldPayloadAndCrcCoversTheZeros) {
  UploadFrame f;
  frameBuildReset(f, 0xFFFF);
  frameMakeData(f);
  std::uint8_t full[64];
  std::memset(full, 0x5A, sizeof full);
  frameLoadChunk(f, full, 64);
  const std::uint8_t one[] = {0x42};
  frameLoadChunk(f, one, 1);
  frameSeal(f);
  EXPECT_EQ(f.bytes[10], 0x42);
  for (std::size_t i = 11; i < 74; ++i) ASSERT_EQ(f.bytes[i], 0) << "offset " << i;
  const std::uint16_t crc = static_cast<std::uint16_t>(f.bytes[74] | f.bytes[75] << 8);
  EXPECT_EQ(crc, get_CRC(f.bytes, 74));
  EXPECT_NE(crc, get_CRC(f.bytes, 11));  // the zeros after the chunk are covered
}

TEST(Frame, SequenceChangesCrcAndWraps) {
  UploadFrame f;
  frameBuildReset(f, 0xFFFF);
  frameMakeData(f);
  frameSeal(f);
  const std::uint16_t first = get_CRC(f.bytes, 74);
  frameAdvance(f);
  frameSeal(f);
  EXPECT_EQ(frameSequence(f), 1);
  EXPECT_NE(get_CRC(f.bytes, 74), first);

  f.bytes[8] = 0xFF;
  f.bytes[9] = 0xFF;
  frameAdvance(f);
  EXPECT_EQ(frameSequence(f), 0);
  EXPECT_EQ(f.bytes[8], 0);
  EXPECT_EQ(f.bytes[9], 0);
}

TEST(Frame, SealNeverReadsItsOwnCrcBytes) {
  UploadFrame a;
  UploadFrame b;
  frameBuildReset(a, 7);
  frameBuildReset(b, 7);
  a.bytes[74] = 0x12;
  a.bytes[75] = 0x34;
  frameSeal(a);
  frameSeal(b);
  EXPECT_EQ(bytesOf(a), bytesOf(b));
}

}  // namespace
