#include "device/verdict.h"

#include <algorithm>
#include <cstdio>

#include "device/completeness.h"

namespace vdev {
namespace {

std::string number(std::uint64_t n) { return std::to_string(n); }

// Appends each part in turn (string concatenation by + trips GCC 12's
// -Wrestrict in optimised cross builds).
template <class... Parts>
void append(std::string& out, const Parts&... parts) {
  ((out += parts), ...);
}

void line(std::string& out, const char* name, const std::string& value) {
  char head[32];
  std::snprintf(head, sizeof head, "  %-21s", name);
  out += head;
  out += value;
  out += '\n';
}

// "seq 0-1: 40, seq 2-46: 10": runs of sequence numbers that arrived equally often.
std::string copiesText(const VirtualDevice& device) {
  const std::vector<std::uint16_t> seqs = device.sequences();
  if (seqs.empty()) return "-";
  std::string out;
  std::size_t runs = 0;
  for (std::size_t i = 0; i < seqs.size();) {
    std::size_t j = i;
    const std::uint32_t n = device.copies(seqs[i]);
    while (j + 1 < seqs.size() && seqs[j + 1] == seqs[j] + 1 && device.copies(seqs[j + 1]) == n)
      ++j;
    if (runs == 8) return out + ", ...";
    if (runs++ > 0) out += ", ";
    append(out, "seq ", number(seqs[i]));
    if (j > i) append(out, "-", number(seqs[j]));
    append(out, ": ", number(n));
    i = j + 1;
  }
  return out;
}

std::string rejectsText(const VirtualDevice& device) {
  std::string out = number(device.rejected());
  std::string detail;
  for (std::size_t k = 0; k < kRejectKinds; ++k) {
    const std::uint64_t n = device.counts().rejects[k];
    if (n == 0) continue;
    if (!detail.empty()) detail += ", ";
    append(detail, rejectName(static_cast<Reject>(k)), " ", number(n));
    if (static_cast<Reject>(k) == Reject::otherAddress && device.lastOtherResetAddress() >= 0)
      append(detail, " (last to ",
             number(static_cast<std::uint64_t>(device.lastOtherResetAddress())), ")");
  }
  if (!detail.empty()) append(out, " (", detail, ")");
  return out;
}

std::string verdictText(const VirtualDevice& device, const Verdict& v) {
  std::string s;
  if (!v.started) {
    append(s, "MISMATCH: no reset frame for address ", number(device.address()), " arrived");
    return s;
  }
  if (v.match) {
    append(s, "match: ", number(v.fileBytes), " file bytes");
    if (v.expectedBytes > v.fileBytes)
      append(s, " and ", number(v.expectedBytes - v.fileBytes), " zero bytes");
    return s;
  }
  s = "MISMATCH";
  if (v.firstMismatch >= 0)
    append(s, " at byte ", number(static_cast<std::uint64_t>(v.firstMismatch)));
  if (!v.missing.empty()) append(s, "; missing sequence numbers ", ranges(v.missing, 12));
  if (v.extraFrames > 0)
    append(s, "; ", number(v.extraFrames), v.extraFrames == 1 ? " frame" : " frames",
           " beyond the file's end");
  return s;
}

}  // namespace

Verdict compare(const VirtualDevice& device, const std::vector<std::uint8_t>& file) {
  Verdict v;
  v.started = device.imageStarted();
  v.fileBytes = file.size();
  const std::size_t frames = (file.size() + kChunkSize - 1) / kChunkSize;
  v.expectedBytes = frames * kChunkSize;

  for (std::size_t seq = 0; seq < frames; ++seq) {
    const std::uint8_t* got = device.payload(static_cast<std::uint16_t>(seq));
    const std::size_t at = seq * kChunkSize;
    if (got == nullptr) {
      v.missing.push_back(static_cast<std::uint16_t>(seq));
      if (v.firstMismatch < 0) v.firstMismatch = static_cast<long>(at);
      continue;
    }
    for (std::size_t i = 0; i < kChunkSize && v.firstMismatch < 0; ++i) {
      const std::uint8_t want = at + i < file.size() ? file[at + i] : 0;
      if (got[i] != want) v.firstMismatch = static_cast<long>(at + i);
    }
  }
  for (std::uint16_t seq : device.sequences()) {
    if (seq < frames) continue;
    if (v.extraFrames++ == 0 && v.firstMismatch < 0)
      v.firstMismatch = static_cast<long>(static_cast<std::size_t>(seq) * kChunkSize);
  }
  v.match = v.started && v.firstMismatch < 0;
  return v;
}

std::string report(const VirtualDevice& device, const Verdict* verdict) {
  const Counts& c = device.counts();
  std::string out;
  append(out, "Virtual device at address ", number(device.address()), ":\n");
  line(out, "frames seen", number(c.seen));
  line(out, "good", number(c.good));
  line(out, "bad CRC", number(c.badCrc));
  line(out, "rejected", rejectsText(device));
  line(out, "resets accepted", number(c.resets));
  line(out, "distinct data frames", number(device.distinctFrames()));
  line(out, "copies of each", copiesText(device));
  const Completeness whole = completeness(device);
  if (!whole.missing.empty()) {
    std::string missing = ranges(whole.missing, 12);
    if (!whole.damagedOnly.empty())
      append(missing, " (", ranges(whole.damagedOnly, 12), " only with a bad CRC)");
    line(out, "missing frames", missing);
  }
  if (c.conflicting > 0)
    line(out, "conflicting copies",
         number(c.conflicting) + " (seq " + ranges(whole.conflicting, 12) + ")");
  line(out, "image bytes", number(device.imageBytes()));
  if (verdict != nullptr) line(out, "verification", verdictText(device, *verdict));
  return out;
}

std::string ranges(const std::vector<std::uint16_t>& numbers, std::size_t limit) {
  std::string out;
  std::size_t count = 0;
  for (std::size_t i = 0; i < numbers.size();) {
    std::size_t j = i;
    while (j + 1 < numbers.size() && numbers[j + 1] == numbers[j] + 1) ++j;
    if (count == limit) return out + ", ...";
    if (count++ > 0) out += ", ";
    out += number(numbers[i]);
    if (j > i) append(out, "-", number(numbers[j]));
    i = j + 1;
  }
  return out;
}

}  // namespace vdev
