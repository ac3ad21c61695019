// Comparing what the device holds with a file, and the report a person reads.
#include "device/verdict.h"

#include <gtest/gtest.h>

#include "device/completeness.h"
#include "tests/device/packets.h"

namespace {

using vdev::VirtualDevice;

void send(VirtualDevice& d, const Packet& p) { d.receive(p.data(), p.size()); }

std::vector<std::uint8_t> fileOf(std::size_t n) {
  std::vector<std::uint8_t> f(n);
  for (std::size_t i = 0; i < n; ++i) f[i] = static_cast<std::uint8_t>(i * 13 + 5);
  return f;
}

// Sends `file` as the uploader would: a reset, then one data frame per 64 bytes.
void deliver(VirtualDevice& d, const std::vector<std::uint8_t>& file,
             std::vector<std::uint16_t> skip = {}) {
  send(d, resetTo(0xFFFF));
  for (std::size_t at = 0, seq = 0; at < file.size(); at += 64, ++seq) {
    if (std::find(skip.begin(), skip.end(), seq) != skip.end()) continue;
    std::vector<std::uint8_t> payload(
        file.begin() + static_cast<std::ptrdiff_t>(at),
        file.begin() + static_cast<std::ptrdiff_t>(std::min(at + 64, file.size())));
    send(d, dataFrame(static_cast<std::uint16_t>(seq), payload));
  }
}

TEST(Verdict, MatchesTheFileThenZerosToTheFrameBoundary) {
  for (std::size_t n : {1u, 63u, 64u, 65u, 300u}) {
    VirtualDevice d(1);
    const auto file = fileOf(n);
    deliver(d, file);
    const vdev::Verdict v = vdev::compare(d, file);
    EXPECT_TRUE(v.match) << n;
    EXPECT_EQ(v.firstMismatch, -1) << n;
    EXPECT_EQ(v.expectedBytes, (n + 63) / 64 * 64) << n;
  }
}

TEST(Verdict, AnEmptyFileNeedsOnlyTheReset) {
  VirtualDevice d(1);
  EXPECT_FALSE(vdev::compare(d, {}).match);  // nothing arrived at all
  send(d, resetTo(1));
  EXPECT_TRUE(vdev::compare(d, {}).match);
}

TEST(Verdict, NamesMissingFramesAndTheFirstWrongByte) {
  const auto file = fileOf(64 * 8);
  VirtualDevice d(1);
  deliver(d, file, {2, 5, 6});
  const vdev::Verdict v = vdev::compare(d, file);
  EXPECT_FALSE(v.match);
  EXPECT_EQ(v.missing, (std::vector<std::uint16_t>{2, 5, 6}));
  EXPECT_EQ(v.firstMismatch, 128);

  // A byte wrong in the middle of a frame.
  VirtualDevice wrong(1);
  auto bent = file;
  bent[200] ^= 0xFF;
  deliver(wrong, bent);
  EXPECT_EQ(vdev::compare(wrong, file).firstMismatch, 200);
  EXPECT_TRUE(vdev::compare(wrong, file).missing.empty());
}

TEST(Verdict, PaddingMustBeZeroAndNothingMayFollowTheFile) {
  const auto file = fileOf(100);
  VirtualDevice padded(1);
  send(padded, resetTo(1));
  send(padded, dataFrame(0, std::vector<std::uint8_t>(file.begin(), file.begin() + 64)));
  std::vector<std::uint8_t> tail(file.begin() + 64, file.end());
  tail.resize(64, 0xEE);  // not zeros after the file's end
  send(padded, dataFrame(1, tail));
  EXPECT_EQ(vdev::compare(padded, file).firstMismatch, 100);

  VirtualDevice longer(1);
  deliver(longer, file);
  send(longer, dataFrame(4, chunk(4)));
  const vdev::Verdict v = vdev::compare(longer, file);
  EXPECT_FALSE(v.match);
  EXPECT_EQ(v.extraFrames, 1u);
  EXPECT_EQ(v.firstMismatch, 4 * 64);
}

TEST(Verdict, NoResetMeansNoMatch) {
  VirtualDevice d(9);
  send(d, resetTo(7));
  for (std::uint16_t seq = 0; seq < 2; ++seq) send(d, dataFrame(seq, chunk(seq)));
  const vdev::Verdict v = vdev::compare(d, fileOf(128));
  EXPECT_FALSE(v.started);
  EXPECT_FALSE(v.match);
  const std::string text = vdev::report(d, &v);
  EXPECT_NE(text.find("no reset frame for address 9 arrived"), std::string::npos) << text;
  EXPECT_NE(text.find("reset for another address 1 (last to 7)"), std::string::npos) << text;
}

TEST(Report, ShowsCountsCopiesAndTheVerdict) {
  const auto file = fileOf(64 * 6 - 10);
  VirtualDevice d(7);
  send(d, resetTo(0xFFFF));
  for (std::uint16_t seq = 0; seq < 6; ++seq) {
    if (seq == 3) continue;
    const std::size_t at = seq * 64u;
    std::vector<std::uint8_t> payload(file.begin() + at,
                                      file.begin() + std::min<std::size_t>(at + 64, file.size()));
    for (int copy = 0; copy < (seq < 2 ? 40 : 10); ++copy) send(d, dataFrame(seq, payload));
  }
  Packet bad = dataFrame(0, chunk(0));
  bad[20] ^= 1;
  send(d, bad);
  const vdev::Verdict v = vdev::compare(d, file);
  const std::string text = vdev::report(d, &v);
  for (const char* want : {"Virtual device at address 7:\n", "  frames seen          112\n",
                           "  good                 111\n", "  bad CRC              1\n",
                           "  rejected             0\n", "  distinct data frames 5\n",
                           "  copies of each       seq 0-1: 40, seq 2: 10, seq 4-5: 10\n",
                           "  image bytes          384\n",
                           "  verification         MISMATCH at byte 192; missing sequence "
                           "numbers 3\n"})
    EXPECT_NE(text.find(want), std::string::npos) << want << "\nin:\n" << text;

  VirtualDevice whole(7);
  deliver(whole, file);
  const vdev::Verdict ok = vdev::compare(whole, file);
  EXPECT_NE(vdev::report(whole, &ok).find("match: 374 file bytes and 10 zero bytes"),
            std::string::npos);
  EXPECT_EQ(vdev::report(whole, nullptr).find("verification"), std::string::npos);
}

TEST(Report, RangesAreShortAndBounded) {
  EXPECT_EQ(vdev::ranges({}, 5), "");
  EXPECT_EQ(vdev::ranges({3}, 5), "3");
  EXPECT_EQ(vdev::ranges({0, 1, 2, 5, 7, 8}, 5), "0-2, 5, 7-8");
  EXPECT_EQ(vdev::ranges({1, 3, 5, 7}, 2), "1, 3, ...");
}

TEST(Completeness, NamesMissingDamagedAndConflictingFramesUntilTheNextReset) {
  VirtualDevice d(1);
  send(d, resetTo(0xFFFF));
  send(d, dataFrame(0, chunk(0)));
  Packet bad = dataFrame(4, chunk(4));
  bad[74] ^= 1;
  send(d, bad);
  send(d, dataFrame(2, chunk(2)));
  send(d, dataFrame(2, chunk(5)));
  vdev::Completeness c = vdev::completeness(d);
  EXPECT_FALSE(c.whole);
  EXPECT_EQ(c.missing, (std::vector<std::uint16_t>{1, 3, 4}));
  EXPECT_EQ(c.damagedOnly, std::vector<std::uint16_t>{4});
  EXPECT_EQ(vdev::incompleteness(d, c),
            "sequence numbers 1, 3-4 missing (4 only with a bad CRC); "
            "sequence number 2 arrived with different payloads");
  EXPECT_NE(vdev::report(d, nullptr).find("missing frames       1, 3-4 (4 only with a bad CRC)\n"),
            std::string::npos);

  send(d, resetTo(1));
  deliver(d, fileOf(100));
  c = vdev::completeness(d);
  EXPECT_TRUE(c.whole);
  EXPECT_EQ(vdev::incompleteness(d, c), "");
}

}  // namespace
