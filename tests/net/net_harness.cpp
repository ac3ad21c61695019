#include "tests/net/net_harness.h"

#include "engine/program.h"
#include "engine/state.h"

namespace testnet {
namespace {

const AdapterTable* inner = nullptr;
AdapterTable wrapped;
std::vector<WriteRecord> recorded;

FT_STATUS FTAPI recordingWrite(FT_HANDLE h, void* buffer, FT_DWORD length, FT_DWORD* written) {
  const auto* bytes = static_cast<const std::uint8_t*>(buffer);
  const FT_STATUS status = inner->FT_Write(h, buffer, length, written);
  recorded.push_back({{bytes, bytes + length}, status});
  return status;
}

}  // namespace

const AdapterTable* recording(const AdapterTable* table) {
  inner = table;
  wrapped = *table;
  wrapped.FT_Write = recordingWrite;
  recorded.clear();
  return &wrapped;
}

std::vector<WriteRecord>& recordedWrites() { return recorded; }

std::size_t goodWrites() {
  std::size_t n = 0;
  for (const WriteRecord& w : recorded) n += w.status == FT_OK ? 1 : 0;
  return n;
}

void LockstepClock::pause(unsigned ms) {
  now += static_cast<std::int64_t>(ms) * 1000;
  pauses.push_back(ms);
  if (!node_.waitFor(goodWrites(), 3000)) lagged = true;
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
  uploadClock = &lockstep;
}

void NetUploadTest::TearDown() {
  adapter = &sim::adapter();
  UploadTest::TearDown();
}

int NetUploadTest::runThrough(const AdapterTable* table, const ReleaseProfile& profile) {
  adapter = recording(table);
  return run(profile);
}

std::vector<std::vector<std::uint8_t>> NetUploadTest::framesSent() const {
  std::vector<std::vector<std::uint8_t>> frames;
  for (const WriteRecord& w : recorded)
    if (w.status == FT_OK) frames.push_back(w.bytes);
  return frames;
}

}  // namespace testnet
