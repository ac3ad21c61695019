#include "device/capture_reader.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace vdev {
namespace {

constexpr std::size_t kGlobalHeader = 24;
constexpr std::size_t kRecordHeader = 16;
// Larger than any snap length libpcap writes; a record claiming more is damage.
constexpr std::uint32_t kMaxRecord = 256 * 1024;

std::uint32_t read32(const std::uint8_t* p, bool swapped) {
  const std::uint32_t le =
      static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
      (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
  if (!swapped) return le;
  return ((le & 0xFFu) << 24) | ((le & 0xFF00u) << 8) | ((le >> 8) & 0xFF00u) | (le >> 24);
}

}  // namespace

bool parseCapture(const std::uint8_t* data, std::size_t size, Capture& out, std::string& error) {
  out = Capture{};
  if (size < 4) {
    error = "too short for a capture file (" + std::to_string(size) + " bytes)";
    return false;
  }
  // The magic number read as little-endian tells the byte order and time unit.
  const std::uint32_t magic = read32(data, false);
  switch (magic) {
    case 0xA1B2C3D4u:
      break;
    case 0xD4C3B2A1u:
      out.swapped = true;
      break;
    case 0xA1B23C4Du:
      out.nanoseconds = true;
      break;
    case 0x4D3CB2A1u:
      out.swapped = out.nanoseconds = true;
      break;
    case 0x0A0D0D0Au:
      error = "a pcapng file; save it in the classic pcap format first";
      return false;
    default:
      error = "not a pcap capture file";
      return false;
  }
  if (size < kGlobalHeader) {
    error = "capture file header cut short";
    return false;
  }
  out.snapLength = read32(data + 16, out.swapped);
  out.linkType = read32(data + 20, out.swapped) & 0x0FFFFFFFu;  // upper bits carry FCS flags

  std::size_t at = kGlobalHeader;
  while (at < size) {
    if (size - at < kRecordHeader) break;
    const std::uint8_t* h = data + at;
    const std::uint32_t seconds = read32(h, out.swapped);
    const std::uint32_t fraction = read32(h + 4, out.swapped);
    const std::uint32_t included = read32(h + 8, out.swapped);
    if (included > kMaxRecord) {
      error = "record " + std::to_string(out.records.size() + 1) + " claims " +
              std::to_string(included) + " bytes: the file is damaged";
      return false;
    }
    if (size - at - kRecordHeader < included) break;
    CaptureRecord r;
    r.micros = static_cast<std::int64_t>(seconds) * 1'000'000 +
               (out.nanoseconds ? fraction / 1000 : fraction);
    r.originalLength = read32(h + 12, out.swapped);
    r.bytes.assign(h + kRecordHeader, h + kRecordHeader + included);
    out.records.push_back(std::move(r));
    at += kRecordHeader + included;
  }
  out.trailingBytes = size - at;
  return true;
}

bool readCapture(const std::string& path, Capture& out, std::string& error) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    error = "cannot open \"" + path + "\": " + std::strerror(errno);
    return false;
  }
  std::vector<std::uint8_t> data;
  std::uint8_t chunk[65536];
  std::size_t n = 0;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) data.insert(data.end(), chunk, chunk + n);
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) {
    error = "cannot read \"" + path + "\"";
    return false;
  }
  if (!parseCapture(data.data(), data.size(), out, error)) {
    error = "\"" + path + "\": " + error;
    return false;
  }
  return true;
}

}  // namespace vdev
