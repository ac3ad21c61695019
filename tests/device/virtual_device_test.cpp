// The virtual device against hand-made packets: what it accepts, what it
// turns away and why, and the image it rebuilds.
#include "device/virtual_device.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "device/receiver_crc.h"
#include "tests/device/packets.h"

namespace {

using vdev::Reject;
using vdev::VirtualDevice;

void send(VirtualDevice& d, const Packet& p) { d.receive(p.data(), p.size()); }

std::uint64_t rejects(const VirtualDevice& d, Reject r) {
  return d.counts().rejects[static_cast<std::size_t>(r)];
}

void expectCountsAddUp(const VirtualDevice& d) {
  EXPECT_EQ(d.counts().good + d.counts().badCrc + d.rejected(), d.counts().seen);
}

TEST(ReceiverCrc, MatchesCatalogueValuesAndTheSendersCrc) {
  EXPECT_EQ(vdev::receiverCrc(reinterpret_cast<const std::uint8_t*>("123456789"), 9), 0x2189);
  EXPECT_EQ(vdev::receiverCrc(reinterpret_cast<const std::uint8_t*>("abc"), 3), 0x58E9);
  EXPECT_EQ(vdev::receiverCrc(nullptr, 0), 0);
  std::mt19937 rng(7);
  std::vector<std::uint8_t> data(74);
  for (int round = 0; round < 200; ++round) {
    for (auto& b : data) b = static_cast<std::uint8_t>(rng());
    ASSERT_EQ(vdev::receiverCrc(data.data(), data.size()), get_CRC(data.data(), 74));
  }
}

TEST(VirtualDevice, AcceptsFramesWrittenOutByteForByte) {
  // The broadcast reset: 91 29 A9 FF FF FF, 68 zeros, CRC EB 47.
  Packet reset(76, 0);
  const std::uint8_t head[] = {0x91, 0x29, 0xA9, 0xFF, 0xFF, 0xFF};
  std::memcpy(reset.data(), head, sizeof head);
  reset[74] = 0xEB;
  reset[75] = 0x47;
  // The first data frame of "abc": 91 29 A9 FE FF FF 00 00 00 00 61 62 63, zeros, CRC A2 84.
  Packet abc(76, 0);
  const std::uint8_t dataHead[] = {0x91, 0x29, 0xA9, 0xFE, 0xFF, 0xFF, 0, 0, 0, 0, 'a', 'b', 'c'};
  std::memcpy(abc.data(), dataHead, sizeof dataHead);
  abc[74] = 0xA2;
  abc[75] = 0x84;

  VirtualDevice d(1);
  send(d, reset);
  send(d, abc);
  EXPECT_EQ(d.counts().good, 2u);
  EXPECT_EQ(d.counts().resets, 1u);
  ASSERT_EQ(d.imageBytes(), 64u);
  std::vector<std::uint8_t> want(64, 0);
  want[0] = 'a';
  want[1] = 'b';
  want[2] = 'c';
  EXPECT_EQ(d.image(), want);
}

TEST(VirtualDevice, TurnsAwayMalformedPacketsAndSaysWhy) {
  VirtualDevice d(7);
  send(d, resetTo(7));
  const Packet good = dataFrame(0, chunk(0));

  Packet shortFrame(good.begin(), good.end() - 1);
  Packet longFrame = good;
  longFrame.push_back(0);
  Packet plainDmx = good;
  plainDmx[0] = 0x00;
  Packet otherMaker = good;
  otherMaker[2] = 0xAA;
  Packet flippedPayload = good;
  flippedPayload[40] ^= 0x01;
  Packet flippedCrc = good;
  flippedCrc[75] ^= 0x80;
  Packet swappedCrc = good;
  std::swap(swappedCrc[74], swappedCrc[75]);
  const Packet unknown = makePacket(0x42, 0xFFFF, 0);

  for (const Packet* p :
       std::initializer_list<const Packet*>{&shortFrame, &longFrame, &plainDmx, &otherMaker,
                                            &flippedPayload, &flippedCrc, &swappedCrc, &unknown})
    send(d, *p);
  d.receive(nullptr, 0);

  EXPECT_EQ(rejects(d, Reject::wrongLength), 3u);
  EXPECT_EQ(rejects(d, Reject::otherStartCode), 1u);
  EXPECT_EQ(rejects(d, Reject::otherManufacturer), 1u);
  EXPECT_EQ(rejects(d, Reject::unknownCommand), 1u);
  EXPECT_EQ(d.counts().badCrc, 3u);
  EXPECT_EQ(d.counts().good, 1u);  // the reset only
  EXPECT_EQ(d.distinctFrames(), 0u);
  EXPECT_EQ(d.counts().seen, 10u);
  expectCountsAddUp(d);
}

TEST(VirtualDevice, ListensOnlyToResetsForItsAddressOrEveryDevice) {
  VirtualDevice d(7);
  send(d, resetTo(8));
  send(d, dataFrame(0, chunk(0)));  // no image started: turned away
  EXPECT_FALSE(d.imageStarted());
  EXPECT_EQ(rejects(d, Reject::otherAddress), 1u);
  EXPECT_EQ(d.lastOtherResetAddress(), 8);
  EXPECT_EQ(rejects(d, Reject::dataBeforeReset), 1u);

  send(d, resetTo(7));
  EXPECT_TRUE(d.imageStarted());
  send(d, makePacket(0xFE, 7, 0, chunk(0)));  // data must go to 0xFFFF
  EXPECT_EQ(rejects(d, Reject::dataNotBroadcast), 1u);
  send(d, dataFrame(0, chunk(0)));
  EXPECT_EQ(d.distinctFrames(), 1u);

  VirtualDevice other(512);
  send(other, resetTo(0xFFFF));
  EXPECT_TRUE(other.imageStarted());
  send(other, resetTo(0x0200 + 1));  // 513: a different device
  EXPECT_EQ(rejects(other, Reject::otherAddress), 1u);
  expectCountsAddUp(d);
  expectCountsAddUp(other);
}

TEST(VirtualDevice, IgnoresRepeatsAndKeepsTheFirstCopy) {
  VirtualDevice d(1);
  send(d, resetTo(0xFFFF));
  for (int i = 0; i < 40; ++i) send(d, dataFrame(0, chunk(0)));
  for (int i = 0; i < 10; ++i) send(d, dataFrame(1, chunk(1)));
  send(d, dataFrame(1, chunk(9)));  // same number, other payload
  EXPECT_EQ(d.distinctFrames(), 2u);
  EXPECT_EQ(d.copies(0), 40u);
  EXPECT_EQ(d.copies(1), 11u);
  EXPECT_EQ(d.copies(2), 0u);
  EXPECT_EQ(d.counts().conflicting, 1u);
  const std::vector<std::uint8_t> image = d.image();
  ASSERT_EQ(image.size(), 128u);
  EXPECT_TRUE(std::equal(image.begin() + 64, image.end(), chunk(1).begin()));
}

TEST(VirtualDevice, PlacesFramesBySequenceWhateverTheirOrderAndLeavesGapsZero) {
  VirtualDevice d(3);
  send(d, resetTo(3));
  for (std::uint16_t seq : {4, 0, 2, 5}) send(d, dataFrame(seq, chunk(seq)));
  EXPECT_EQ(d.sequences(), (std::vector<std::uint16_t>{0, 2, 4, 5}));
  ASSERT_EQ(d.imageBytes(), 6u * 64);
  const std::vector<std::uint8_t> image = d.image();
  for (std::uint16_t seq = 0; seq < 6; ++seq) {
    const bool present = seq != 1 && seq != 3;
    const std::vector<std::uint8_t> want = present ? chunk(seq) : std::vector<std::uint8_t>(64, 0);
    EXPECT_TRUE(std::equal(want.begin(), want.end(), image.begin() + seq * 64)) << "seq " << seq;
  }
}

TEST(VirtualDevice, AResetStartsANewImage) {
  VirtualDevice d(1);
  send(d, resetTo(1));
  for (std::uint16_t seq = 0; seq < 3; ++seq) send(d, dataFrame(seq, chunk(seq)));
  send(d, resetTo(0xFFFF));
  send(d, dataFrame(0, chunk(7)));
  EXPECT_EQ(d.distinctFrames(), 1u);
  EXPECT_EQ(d.copies(0), 1u);
  EXPECT_EQ(d.imageBytes(), 64u);
  EXPECT_EQ(d.image(), chunk(7));
  EXPECT_EQ(d.counts().resets, 2u);
}

TEST(VirtualDevice, StoresFramesAtTheHighSequenceNumbers) {
  VirtualDevice d(1);
  send(d, resetTo(1));
  send(d, dataFrame(0xFFFF, chunk(1)));
  EXPECT_EQ(d.imageBytes(), 65536u * 64);
  EXPECT_NE(d.payload(0xFFFF), nullptr);
  EXPECT_EQ(d.payload(0), nullptr);
}

}  // namespace
