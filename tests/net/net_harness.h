// What the network upload tests share: a recording wrapper around a
// driver's table (the frames the engine handed over, in order), a clock that
// lets virtual time pass only once the node has every packet sent so far,
// and a fixture that puts both in place around a fake node.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/adapter_table.h"
#include "engine/clock.h"
#include "tests/net/fake_node.h"
#include "tests/support/upload_harness.h"

namespace testnet {

struct WriteRecord {
  std::vector<std::uint8_t> bytes;
  FT_STATUS status;
};

// A copy of `inner` whose FT_Write first records what it is given.
const AdapterTable* recording(const AdapterTable* inner);
std::vector<WriteRecord>& recordedWrites();
std::size_t goodWrites();

class LockstepClock final : public Clock {
 public:
  explicit LockstepClock(const FakeNode& node) : node_(node) {}
  void pause(unsigned ms) override;
  std::int64_t nowMicros() override { return now; }

  std::int64_t now = 1'000'000;
  std::vector<unsigned> pauses;
  bool lagged = false;  // the node did not get a packet within 3 s

 private:
  const FakeNode& node_;
};

// The data frames' payloads put together at sequence x 64, as a check that
// needs nothing from the engine or the device model.
std::vector<std::uint8_t> imageFromFrames(const std::vector<std::vector<std::uint8_t>>& frames);

class NetUploadTest : public UploadTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Runs program() through `table` (wrapped for recording) on the lockstep clock.
  int runThrough(const AdapterTable* table, const ReleaseProfile& profile);
  // The frames the engine wrote successfully, in order.
  std::vector<std::vector<std::uint8_t>> framesSent() const;

  FakeNode node;
  LockstepClock lockstep{node};
};

}  // namespace testnet
