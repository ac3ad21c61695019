// The frames an upload sends, taken from the simulated adapter on a clock
// that does not wait: vm_reference IMAGE ADDRESS PROFILE FAST(0|1) OUT.
// The emulated-FTDI test compares what reached the emulated chip with these.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "drivers/sim.h"
#include "engine/program.h"
#include "engine/state.h"
#include "profiles/profiles.h"
#include "tests/support/stand_ins.h"

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: vm_reference IMAGE ADDRESS PROFILE FAST OUT\n");
    return 2;
  }
  const ReleaseProfile* profile = findProfile(argv[3]);
  if (profile == nullptr) return 2;
  InstantClock clock;
  QuietOperator op;
  sim::SimAdapter simulated;
  mainLine.clock = &clock;
  mainLine.op = &op;
  mainLine.adapter = &simulated;
  std::snprintf(szFile, sizeof szFile, "%s", argv[1]);
  address = static_cast<std::uint16_t>(std::atoi(argv[2]));
  checked = std::strcmp(argv[4], "1") == 0;
  selectProfile(*profile);
  // The engine's log lines go to standard output; keep it for them.
  const int result = program();
  if (op.errors > 0) std::fprintf(stderr, "error: %s\n", op.lastError.c_str());
  if (result != uploadDone) return 1;
  std::FILE* out = std::fopen(argv[5], "wb");
  if (out == nullptr) return 1;
  for (const sim::Record& r : simulated.record())
    if (r.call == sim::Call::write) std::fwrite(r.bytes.data(), 1, r.bytes.size(), out);
  return std::fclose(out) == 0 ? 0 : 1;
}
