// The engine's whole upload on the simulated adapter (virtual clock), with
// the virtual device listening on the line: the two sides were written apart,
// so agreement here means the sender follows the protocol the receiver knows.
#include <gtest/gtest.h>

#include "device/verdict.h"
#include "device/virtual_device.h"
#include "engine/state.h"
#include "profiles/profiles.h"
#include "tests/support/upload_harness.h"

namespace {

class DeviceOnTheLine : public UploadTest {
 protected:
  void listen(vdev::VirtualDevice& device) {
    simulated().setLineSink(
        [&device](const std::uint8_t* b, std::size_t n, std::int64_t) { device.receive(b, n); });
  }
};

TEST_F(DeviceOnTheLine, EveryProfileDeliversTheImageIntact) {
  for (const ReleaseProfile* profile : {&profileV1_2, &profileV1_1, &profileEarly}) {
    resetSimulated();
    vdev::VirtualDevice device(7);
    listen(device);
    const auto image = patternImage(64 * 5 + 17);
    chooseImage(image);
    address = 7;
    ASSERT_EQ(run(*profile), 0) << profile->id;
    const vdev::Verdict v = vdev::compare(device, image);
    EXPECT_TRUE(v.match) << profile->id << "\n" << vdev::report(device, &v);
    EXPECT_EQ(device.counts().badCrc + device.rejected(), 0u) << profile->id;
    EXPECT_EQ(device.counts().resets, 10u) << profile->id;
    EXPECT_EQ(device.copies(0), profile == &profileEarly ? 10u : 40u) << profile->id;
    EXPECT_EQ(device.copies(5), 10u) << profile->id;
  }
}

TEST_F(DeviceOnTheLine, ADeviceAtAnotherAddressHearsOnlyBroadcastResets) {
  const auto image = patternImage(200);
  chooseImage(image);
  address = 7;

  vdev::VirtualDevice elsewhere(9);
  listen(elsewhere);
  ASSERT_EQ(run(profileV1_1), 0);  // resets go to 7 only
  EXPECT_FALSE(vdev::compare(elsewhere, image).match);
  EXPECT_EQ(elsewhere.counts().rejects[static_cast<std::size_t>(vdev::Reject::otherAddress)], 10u);

  resetSimulated();
  vdev::VirtualDevice any(9);
  listen(any);
  ASSERT_EQ(run(profileV1_2), 0);  // broadcast resets reach every device
  EXPECT_TRUE(vdev::compare(any, image).match);
}

}  // namespace
