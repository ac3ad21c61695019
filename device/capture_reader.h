// Reads a classic libpcap capture file (not pcapng): the global header, then
// records of a 16-byte header and the packet bytes. Either byte order, and
// micro- or nanosecond time stamps. A file cut short inside a record (an
// interrupted capture) is read up to its last whole record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vdev {

inline constexpr std::uint32_t kLinkTypeUser0 = 147;

struct CaptureRecord {
  std::int64_t micros = 0;           // time stamp, microseconds since 1970
  std::uint32_t originalLength = 0;  // length on the wire (more than bytes.size() when cut)
  std::vector<std::uint8_t> bytes;
};

struct Capture {
  std::uint32_t linkType = 0;
  std::uint32_t snapLength = 0;
  bool swapped = false;      // written on a machine of the other byte order
  bool nanoseconds = false;  // time stamps in nanoseconds
  std::vector<CaptureRecord> records;
  std::size_t trailingBytes = 0;  // bytes after the last whole record (0: ends cleanly)
};

// Parses a capture held in memory. False with `error` when it is not one.
bool parseCapture(const std::uint8_t* data, std::size_t size, Capture& out, std::string& error);
// Reads and parses a capture file. False with `error` naming what failed.
bool readCapture(const std::string& path, Capture& out, std::string& error);

}  // namespace vdev
