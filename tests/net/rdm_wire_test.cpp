// The RDM message and the ArtRdm packet byte by byte, as ANSI E1.20 and
// Art-Net 4 lay them out.
#include "drivers/rdm_wire.h"

#include <gtest/gtest.h>

#include "drivers/artnet_rdm_wire.h"

namespace {

// GET DEVICE_INFO from 7FF0:00000001 to 29A9:12345678, transaction 5, port 1.
const std::vector<std::uint8_t> kGetDeviceInfo = {
    0xCC, 0x01, 24,                      // start code, sub-start code, length
    0x29, 0xA9, 0x12, 0x34, 0x56, 0x78,  // destination UID
    0x7F, 0xF0, 0x00, 0x00, 0x00, 0x01,  // source UID
    5,    1,    0,    0x00, 0x00,        // transaction, port ID, count, sub-device
    0x20, 0x00, 0x60, 0,                 // GET, DEVICE_INFO, no data
    0x04, 0xC1};                         // checksum: every byte above added up, 0xCC included

TEST(RdmWire, GetRequestLaidOutWithItsChecksum) {
  rdm::Message m;
  m.destination = {0x29A9, 0x12345678};
  m.source = {0x7FF0, 1};
  m.transaction = 5;
  m.pid = rdm::kPidDeviceInfo;
  EXPECT_EQ(rdm::encode(m), kGetDeviceInfo);
}

TEST(RdmWire, DecodeRefusesAWrongChecksum) {
  rdm::Message m;
  std::string why;
  ASSERT_TRUE(rdm::decode(kGetDeviceInfo.data(), kGetDeviceInfo.size(), m, why)) << why;
  EXPECT_EQ(m.destination, (rdm::Uid{0x29A9, 0x12345678}));
  auto bad = kGetDeviceInfo;
  bad.back() ^= 1;
  EXPECT_FALSE(rdm::decode(bad.data(), bad.size(), m, why));
}

TEST(RdmWire, ArtRdmCarriesTheMessageWithoutItsStartCode) {
  const auto packet = artnet::buildArtRdm(0x0123, kGetDeviceInfo);
  ASSERT_EQ(packet.size(), 24 + kGetDeviceInfo.size() - 1);
  EXPECT_EQ(packet[8], 0x00);  // OpCode 0x8300, low byte first
  EXPECT_EQ(packet[9], 0x83);
  EXPECT_EQ(packet[12], 0x01);  // RdmVer
  EXPECT_EQ(packet[21], 0x01);  // Net
  EXPECT_EQ(packet[23], 0x23);  // Address
  EXPECT_EQ(packet[24], 0x01);  // the sub-start code comes first
  std::uint16_t port = 0;
  std::vector<std::uint8_t> back;
  ASSERT_TRUE(artnet::parseArtRdm(packet.data(), packet.size(), port, back));
  EXPECT_EQ(port, 0x0123);
  EXPECT_EQ(back, kGetDeviceInfo);
}

}  // namespace
