#include "tests/drivers/driver_upload.h"

#include <algorithm>

#include "drivers/sim.h"
#include "engine/state.h"

Frames DriverUpload::referenceFrames(const ReleaseProfile& profile) {
  adapter = nullptr;
  run(profile);
  Frames frames;
  for (const sim::Record* r : writes()) frames.push_back(r->bytes);
  resetSimulated();
  op.events.clear();
  log.clear();
  return frames;
}

int DriverUpload::runOn(Adapter& driver, const ReleaseProfile& profile) {
  adapter = &driver;
  return run(profile);
}

bool DriverUpload::logged(const std::string& line) const {
  const auto lines = logLines();
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::vector<std::uint8_t> everyByteImage(std::size_t n) {
  std::vector<std::uint8_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(i * 167 + i / 256);
  return v;
}
