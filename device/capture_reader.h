// Reads a classic libpcap capture file (not pcapng): the global header, then
// records of a 16-byte header and the packet bytes. Either byte order, and
// micro- or nanosecond time stamps. A file cut short inside a record (an
// interrupted capture) is read up to its last whole record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vdev {

inline constexpr std::uint32_t kLinkTypeUser0 = 147;

struct CaptureRecord {
  std::int64_t micros = 0;           // time stamp, microseconds since 1970
  std::uint32_t originalLength = 0;  // length on the wire (more than bytes.size() when cut)
  std::vector<std::uint8_t> bytes;
};

struct CaptureHeader {
  std::uint32_t linkType = 0;
  std::uint32_t snapLength = 0;
  bool swapped = false;      // written on a machine of the other byte order
  bool nanoseconds = false;  // time stamps in nanoseconds
};

struct Capture : CaptureHeader {
  std::vector<CaptureRecord> records;
  std::size_t trailingBytes = 0;  // bytes after the last whole record (0: ends cleanly)
};

// A capture read from a stream one record at a time: memory does not grow
// with the capture, only with its largest record.
class CaptureStream {
 public:
  explicit CaptureStream(std::FILE* file) : file_(file) {}

  // Reads the global header. False with `error` when the stream holds no capture.
  bool start(std::string& error);
  const CaptureHeader& header() const { return header_; }
  // The next whole record into `record`, reusing its buffer. False at the end
  // of the records; error() then says whether the file is damaged or unreadable.
  bool next(CaptureRecord& record);
  const std::string& error() const { return error_; }
  std::size_t recordsRead() const { return records_; }
  // Bytes after the last whole record, once next() returned false (0: ends cleanly).
  std::size_t trailingBytes() const { return trailing_; }

 private:
  std::size_t read(std::uint8_t* into, std::size_t size);

  std::FILE* file_;
  CaptureHeader header_;
  std::size_t records_ = 0;
  std::size_t trailing_ = 0;
  std::string error_;
};

// Parses a capture held in memory. False with `error` when it is not one.
bool parseCapture(const std::uint8_t* data, std::size_t size, Capture& out, std::string& error);
// Reads and parses a whole capture file (a regular file only). False with
// `error` naming the file and what failed.
bool readCapture(const std::string& path, Capture& out, std::string& error);

}  // namespace vdev
