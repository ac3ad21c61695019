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
#include "engine/line.h"
#include "engine/program.h"
#include "profiles/profiles.h"
#include "tests/support/stand_ins.h"

namespace {

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
  QuietOperator op;
  LogCollector log;
  sim::SimAdapter adapter;
  std::vector<std::uint8_t> buffer(profile.imageCapacity);
  Line line{};
  lineUseProfile(line, profile, buffer.data(), buffer.size());
  line.adapter = &adapter;
  line.clock = &clock;
  line.op = &op;
  line.log = &log;
  std::snprintf(line.szFile, sizeof line.szFile, "%s", path.c_str());
  line.checked = size % 2 == 1;
  line.address = static_cast<std::uint16_t>(1 + size % 512);
  const int result = program(line);

  if (result != uploadDone || op.infos != 1 || op.errors != 0 || !op.enabledLast) std::abort();
  // Reassemble the image from the data frames' payloads.
  std::vector<std::uint8_t> got((size + 63) / 64 * 64, 0);
  for (const sim::Record& r : adapter.record()) {
    if (r.call != sim::Call::write || r.bytes.size() != 76 || r.bytes[3] != 0xFE) continue;
    const std::size_t at = static_cast<std::size_t>(r.bytes[8] | r.bytes[9] << 8) * 64;
    if (at + 64 > got.size()) std::abort();
    for (std::size_t i = 0; i < 64; ++i) got[at + i] = r.bytes[10 + i];
  }
  for (std::size_t i = 0; i < got.size(); ++i)
    if (got[i] != (i < size ? data[i] : 0)) std::abort();
  return 0;
}
