// Writes a classic libpcap capture of the DMX packets sent: link type 147
// (LINKTYPE_USER0), one record per packet, microsecond time stamps. Every
// record goes out in one write and is flushed at once, so a capture cut short
// by an interrupted upload is valid up to its last whole record.
//
// The capture is written under a temporary name beside the one asked for
// (NAME.partial) and moved into place on close, once it holds at least one
// record: an upload refused before its first packet leaves an existing file
// of that name as it was, and an interrupted one leaves NAME.partial. A name
// that leads to a FIFO or a device (a live view such as Wireshark's pipe) is
// written to directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

inline constexpr std::uint32_t kCaptureSnapLength = 65535;

class CaptureWriter {
 public:
  CaptureWriter() = default;
  CaptureWriter(const CaptureWriter&) = delete;
  CaptureWriter& operator=(const CaptureWriter&) = delete;
  ~CaptureWriter() { close(); }

  // Creates the file and writes the global header. False with `error` when it cannot.
  bool open(const std::string& path, std::string& error);
  // Appends one record stamped `unixMicros`. After a failure, writes nothing more.
  void write(std::int64_t unixMicros, const std::uint8_t* bytes, std::size_t length);
  // Closes the file and puts it in place, or removes it when it holds no record.
  void close();

  bool isOpen() const { return file_ != nullptr; }
  std::size_t records() const { return records_; }
  bool failed() const { return !error_.empty(); }
  const std::string& error() const { return error_; }

 private:
  std::FILE* file_ = nullptr;
  std::string path_;
  std::string writing_;  // the name written to: path_ + ".partial", or path_ itself
  std::size_t records_ = 0;
  std::string error_;
};

// Microseconds since 1970 by the wall clock.
std::int64_t wallClockMicros();
