#include "device/completeness.h"

#include "device/verdict.h"

namespace vdev {
namespace {

std::string numbers(const std::vector<std::uint16_t>& seqs) {
  return (seqs.size() == 1 ? "sequence number " : "sequence numbers ") + ranges(seqs, 12);
}

}  // namespace

Completeness completeness(const VirtualDevice& device) {
  Completeness c;
  c.started = device.imageStarted();
  const std::vector<std::uint16_t> stored = device.sequences();
  const auto& damaged = device.damagedSequences();
  long highest = stored.empty() ? -1 : stored.back();
  if (!damaged.empty() && *damaged.rbegin() > highest) highest = *damaged.rbegin();
  for (long seq = 0; seq <= highest; ++seq) {
    const auto s = static_cast<std::uint16_t>(seq);
    if (device.payload(s) != nullptr) continue;
    c.missing.push_back(s);
    if (damaged.count(s) != 0) c.damagedOnly.push_back(s);
  }
  c.conflicting.assign(device.conflictingSequences().begin(), device.conflictingSequences().end());
  c.whole = c.started && !stored.empty() && c.missing.empty() && c.conflicting.empty();
  return c;
}

std::string incompleteness(const VirtualDevice& device, const Completeness& c) {
  if (c.whole) return {};
  if (!c.started) {
    std::string s = "no reset frame for address " + std::to_string(device.address()) + " arrived";
    if (device.counts().badCrc > 0)
      s += " (" + std::to_string(device.counts().badCrc) + " frames had a bad CRC)";
    return s;
  }
  if (device.sequences().empty() && c.missing.empty())
    return "no data frame arrived after the reset";
  std::string s;
  if (!c.missing.empty()) {
    s = numbers(c.missing) + " missing";
    if (!c.damagedOnly.empty()) s += " (" + ranges(c.damagedOnly, 12) + " only with a bad CRC)";
  }
  if (!c.conflicting.empty()) {
    if (!s.empty()) s += "; ";
    s += numbers(c.conflicting) + " arrived with different payloads";
  }
  return s;
}

}  // namespace vdev
