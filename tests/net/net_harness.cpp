#include "tests/net/net_harness.h"

#include "engine/program.h"
#include "engine/state.h"

namespace testnet {

FT_STATUS RecordingAdapter::FT_Write(FT_HANDLE h, void* buffer, FT_DWORD length,
                                     FT_DWORD* written) {
  const auto* bytes = static_cast<const std::uint8_t*>(buffer);
  const FT_STATUS status = AdapterWrapper::FT_Write(h, buffer, length, written);
  writes.push_back({{bytes, bytes + length}, status});
  return status;
}

std::size_t RecordingAdapter::goodWrites() const {
  std::size_t n = 0;
  for (const WriteRecord& w : writes) n += w.status == FT_OK ? 1 : 0;
  return n;
}

void LockstepClock::pause(unsigned ms) {
  now += static_cast<std::int64_t>(ms) * 1000;
  pauses.push_back(ms);
  catchUp();
}

void LockstepClock::pauseUntil(std::int64_t deadline) {
  if (deadline <= now) return;
  now = deadline;
  catchUp();
}

void LockstepClock::catchUp() {
  if (sender != nullptr && !node_.waitFor(sender->goodWrites(), 3000)) lagged = true;
}

std::vector<std::uint8_t> imageFromFrames(const std::vector<std::vector<std::uint8_t>>& frames) {
  std::vector<std::uint8_t> image;
  for (const auto& f : frames) {
    if (f.size() != 76 || f[3] != 0xFE) continue;  // data frames only
    const std::size_t at = static_cast<std::size_t>(f[8] | (f[9] << 8)) * 64;
    if (image.size() < at + 64) image.resize(at + 64);
    std::copy(f.begin() + 10, f.begin() + 74, image.begin() + static_cast<long>(at));
  }
  return image;
}

void NetUploadTest::SetUp() {
  UploadTest::SetUp();
  ASSERT_TRUE(node.good()) << "cannot bind a UDP socket on 127.0.0.1";
  mainLine.clock = &lockstep;
}

Adapter* NetUploadTest::keep(std::unique_ptr<Adapter> adapter, const std::string& error) {
  EXPECT_NE(adapter, nullptr) << error;
  made.push_back(std::move(adapter));
  return made.back().get();
}

int NetUploadTest::runThrough(Adapter* inner, const ReleaseProfile& profile) {
  recording = std::make_unique<RecordingAdapter>(*inner);
  lockstep.sender = recording.get();
  adapter = recording.get();
  return run(profile);
}

std::vector<std::vector<std::uint8_t>> NetUploadTest::framesSent() const {
  std::vector<std::vector<std::uint8_t>> frames;
  for (const WriteRecord& w : recording->writes)
    if (w.status == FT_OK) frames.push_back(w.bytes);
  return frames;
}

}  // namespace testnet
