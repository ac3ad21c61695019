#include "device/capture_reader.h"

#include <cerrno>
#include <cstring>

#include "files/bounded_file.h"
#include "files/shown_text.h"

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

// The global header from the first `size` (at most 24) bytes of a file.
bool parseHeader(const std::uint8_t* data, std::size_t size, CaptureHeader& out,
                 std::string& error) {
  out = CaptureHeader{};
  if (size < 4) {
    error = "too short for a capture file (" + std::to_string(size) + " bytes)";
    return false;
  }
  // The magic number read as little-endian tells the byte order and time unit.
  switch (read32(data, false)) {
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
  return true;
}

// A record's header: its time stamp and lengths. False with `error` when the
// length it claims cannot be real.
bool parseRecordHeader(const std::uint8_t* h, const CaptureHeader& c, std::size_t number,
                       CaptureRecord& r, std::uint32_t& included, std::string& error) {
  const std::uint32_t seconds = read32(h, c.swapped);
  const std::uint32_t fraction = read32(h + 4, c.swapped);
  included = read32(h + 8, c.swapped);
  if (included > kMaxRecord) {
    error = "record " + std::to_string(number) + " claims " + std::to_string(included) +
            " bytes: the file is damaged";
    return false;
  }
  r.micros =
      static_cast<std::int64_t>(seconds) * 1'000'000 + (c.nanoseconds ? fraction / 1000 : fraction);
  r.originalLength = read32(h + 12, c.swapped);
  return true;
}

}  // namespace

std::size_t CaptureStream::read(std::uint8_t* into, std::size_t size) {
  const std::size_t n = size == 0 ? 0 : std::fread(into, 1, size, file_);
  if (n < size && std::ferror(file_) != 0 && error_.empty())
    error_ = std::string("reading failed: ") + std::strerror(errno);
  return n;
}

bool CaptureStream::start(std::string& error) {
  std::uint8_t head[kGlobalHeader];
  const std::size_t n = read(head, sizeof head);
  if (!error_.empty()) {
    error = error_;
    return false;
  }
  return parseHeader(head, n, header_, error);
}

bool CaptureStream::next(CaptureRecord& record) {
  if (!error_.empty()) return false;
  std::uint8_t head[kRecordHeader];
  const std::size_t n = read(head, sizeof head);
  if (n < sizeof head) {
    trailing_ = n;
    return false;
  }
  std::uint32_t included = 0;
  if (!parseRecordHeader(head, header_, records_ + 1, record, included, error_)) return false;
  record.bytes.resize(included);
  const std::size_t got = read(record.bytes.data(), included);
  if (got < included) {
    trailing_ = kRecordHeader + got;
    return false;
  }
  ++records_;
  return true;
}

bool parseCapture(const std::uint8_t* data, std::size_t size, Capture& out, std::string& error) {
  out = Capture{};
  if (!parseHeader(data, size < kGlobalHeader ? size : kGlobalHeader, out, error)) return false;
  std::size_t at = kGlobalHeader;
  while (size - at >= kRecordHeader) {
    CaptureRecord r;
    std::uint32_t included = 0;
    if (!parseRecordHeader(data + at, out, out.records.size() + 1, r, included, error))
      return false;
    if (size - at - kRecordHeader < included) break;
    r.bytes.assign(data + at + kRecordHeader, data + at + kRecordHeader + included);
    out.records.push_back(std::move(r));
    at += kRecordHeader + included;
  }
  out.trailingBytes = size - at;
  return true;
}

bool readCapture(const std::string& path, Capture& out, std::string& error) {
  out = Capture{};
  files::InputFile in;
  if (!in.open(path)) {
    error = in.error();
    return false;
  }
  CaptureStream stream(in.stream());
  std::string problem;
  if (!stream.start(problem)) {
    error = files::quoted(path) + ": " + problem;
    return false;
  }
  static_cast<CaptureHeader&>(out) = stream.header();
  for (CaptureRecord r; stream.next(r);) out.records.push_back(r);
  if (!stream.error().empty()) {
    error = files::quoted(path) + ": " + stream.error();
    return false;
  }
  out.trailingBytes = stream.trailingBytes();
  return true;
}

}  // namespace vdev
