// What the network upload tests share: a recording wrapper around a
// driver's adapter (the frames the engine handed over, in order), a clock
// that lets virtual time pass only once the node has every packet sent so
// far, and a fixture that puts both in place around a fake node.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/adapter_wrapper.h"
#include "engine/clock.h"
#include "tests/net/fake_node.h"
#include "tests/support/upload_harness.h"

namespace testnet {

struct WriteRecord {
  std::vector<std::uint8_t> bytes;
  FT_STATUS status;
};

// Forwards every call to `inner`; FT_Write also records what it is given.
class RecordingAdapter final : public AdapterWrapper {
 public:
  using AdapterWrapper::AdapterWrapper;
  FT_STATUS FT_Write(FT_HANDLE h, void* buffer, FT_DWORD length, FT_DWORD* written) override;

  std::size_t goodWrites() const;
  std::vector<WriteRecord> writes;
};

class LockstepClock final : public Clock {
 public:
  explicit LockstepClock(const FakeNode& node) : node_(node) {}
  void pause(unsigned ms) override;
  std::int64_t nowMicros() override { return now; }
  void pauseUntil(std::int64_t deadline) override;

  std::int64_t now = 1'000'000;
  std::vector<unsigned> pauses;
  bool lagged = false;                       // the node did not get a packet within 3 s
  const RecordingAdapter* sender = nullptr;  // whose good writes the node must have

 private:
  void catchUp();
  const FakeNode& node_;
};

// The data frames' payloads put together at sequence x 64, as a check that
// needs nothing from the engine or the device model.
std::vector<std::uint8_t> imageFromFrames(const std::vector<std::vector<std::uint8_t>>& frames);

class NetUploadTest : public UploadTest {
 protected:
  void SetUp() override;
  // Keeps an adapter made by the test alive for the test; null (and a
  // failure naming `error`) when it was not made.
  Adapter* keep(std::unique_ptr<Adapter> made, const std::string& error);
  // Runs program() through `inner` (wrapped for recording) on the lockstep clock.
  int runThrough(Adapter* inner, const ReleaseProfile& profile);
  // The frames the engine wrote successfully in the last run, in order.
  std::vector<std::vector<std::uint8_t>> framesSent() const;

  FakeNode node;
  LockstepClock lockstep{node};
  std::vector<std::unique_ptr<Adapter>> made;
  std::unique_ptr<RecordingAdapter> recording;
};

}  // namespace testnet
