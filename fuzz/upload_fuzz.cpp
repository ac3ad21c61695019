// Whole uploads of arbitrary images on the simulated adapter and a virtual
// clock: every image the engine accepts must arrive in the frames byte for
// byte, and the upload must end with the closing box and the controls back.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "drivers/sim.h"
#include "engine/clock.h"
#include "engine/operator.h"
#include "engine/program.h"
#include "engine/state.h"
#include "profiles/profiles.h"

namespace {

class InstantClock final : public Clock {
 public:
  void pause(unsigned ms) override { now += ms * 1000; }
  std::int64_t nowMicros() override { return now; }
  std::int64_t now = 0;
};

// The image file every run rewrites; removed when the process ends.
struct ScratchFile {
  ScratchFile() {
    char name[] = "/tmp/uploader-fuzz-XXXXXX";
    const int fd = mkstemp(name);
    if (fd >= 0) std::fclose(fdopen(fd, "w"));
    path = name;
  }
  ~ScratchFile() { std::remove(path.c_str()); }
  std::string path;
};

class CountingOperator final : public Operator {
 public:
  void errorBox(const char*) override { ++errors; }
  void infoBox(const char*) override { ++infos; }
  void enableControls(bool enable) override { enabledLast = enable; }
  void progressRange(std::uint16_t) override {}
  void progressPosition(std::int32_t) override {}
  int errors = 0, infos = 0;
  bool enabledLast = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const ReleaseProfile* profiles[] = {&profileV1_2, &profileV1_1, &profileEarly};
  const ReleaseProfile& profile = *profiles[data[0] % 3];
  ++data;
  --size;
  if (size > 4096) size = 4096;  // keep each run quick; sizes to 65535 are unit-tested

  static const ScratchFile scratch;
  const std::string& path = scratch.path;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return 0;
  if (size != 0) std::fwrite(data, 1, size, f);
  std::fclose(f);

  InstantClock clock;
  CountingOperator op;
  sim::reset();
  sim::setTimeSource([&clock] { return clock.now; });
  uploadClock = &clock;
  uploadOperator = &op;
  adapter = &sim::adapter();
  selectProfile(profile);
  std::snprintf(szFile, sizeof szFile, "%s", path.c_str());
  checked = size % 2 == 1;
  address = static_cast<std::uint16_t>(1 + size % 512);

  std::FILE* saved = stdout;
  std::FILE* sink = std::fopen("/dev/null", "w");
  stdout = sink;
  const int result = program();
  stdout = saved;
  std::fclose(sink);

  if (result != uploadDone || op.infos != 1 || op.errors != 0 || !op.enabledLast) std::abort();
  // Reassemble the image from the data frames' payloads.
  std::vector<std::uint8_t> got((size + 63) / 64 * 64, 0);
  for (const sim::Record& r : sim::record()) {
    if (r.call != sim::Call::write || r.bytes.size() != 76 || r.bytes[3] != 0xFE) continue;
    const std::size_t at = static_cast<std::size_t>(r.bytes[8] | r.bytes[9] << 8) * 64;
    if (at + 64 > got.size()) std::abort();
    for (std::size_t i = 0; i < 64; ++i) got[at + i] = r.bytes[10 + i];
  }
  for (std::size_t i = 0; i < got.size(); ++i)
    if (got[i] != (i < size ? data[i] : 0)) std::abort();
  sim::setTimeSource(nullptr);
  return 0;
}
