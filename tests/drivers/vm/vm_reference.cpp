// The frames an upload sends, taken from the simulated adapter on a clock
// that does not wait: vm_reference IMAGE ADDRESS PROFILE FAST(0|1) OUT.
// The emulated-FTDI test compares what reached the emulated chip with these.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "drivers/sim.h"
#include "engine/clock.h"
#include "engine/operator.h"
#include "engine/program.h"
#include "engine/state.h"
#include "profiles/profiles.h"

namespace {

class NoWaitClock final : public Clock {
 public:
  void pause(unsigned ms) override { now += static_cast<std::int64_t>(ms) * 1000; }
  std::int64_t nowMicros() override { return now; }
  std::int64_t now = 0;
};

class QuietOperator final : public Operator {
 public:
  void errorBox(const char* text) override { std::fprintf(stderr, "error: %s\n", text); }
  void infoBox(const char*) override {}
  void enableControls(bool) override {}
  void progressRange(std::uint16_t) override {}
  void progressPosition(std::int32_t) override {}
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: vm_reference IMAGE ADDRESS PROFILE FAST OUT\n");
    return 2;
  }
  const ReleaseProfile* profile = findProfile(argv[3]);
  if (profile == nullptr) return 2;
  NoWaitClock clock;
  QuietOperator op;
  uploadClock = &clock;
  uploadOperator = &op;
  adapter = &sim::adapter();
  sim::setTimeSource([&clock] { return clock.now; });
  std::snprintf(szFile, sizeof szFile, "%s", argv[1]);
  address = static_cast<std::uint16_t>(std::atoi(argv[2]));
  checked = std::strcmp(argv[4], "1") == 0;
  selectProfile(*profile);
  // The engine's log lines go to standard output; keep it for them.
  if (program() != uploadDone) return 1;
  std::FILE* out = std::fopen(argv[5], "wb");
  if (out == nullptr) return 1;
  for (const sim::Record& r : sim::record())
    if (r.call == sim::Call::write) std::fwrite(r.bytes.data(), 1, r.bytes.size(), out);
  return std::fclose(out) == 0 ? 0 : 1;
}
