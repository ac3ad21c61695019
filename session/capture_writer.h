// Writes a classic libpcap capture of the DMX packets sent: link type 147
// (LINKTYPE_USER0), one record per packet, microsecond time stamps. Records
// go out whole and are flushed, so a capture cut short by an interrupted
// upload is valid up to its last whole record. A writer that is spooled only
// keeps each record in memory when it is written (the timing thread does no
// file work) and a spool thread writes what is kept every few milliseconds.
//
// The capture is written under a temporary name beside the one asked for
// (NAME.partial) and moved into place on close, once it holds at least one
// record: an upload refused before its first packet leaves an existing file
// of that name as it was, and an interrupted one leaves NAME.partial. A name
// that leads to a FIFO or a device (a live view such as Wireshark's pipe) is
// written to directly; a FIFO once a reader has it open, waiting for one at
// most kFifoReaderWaitMs, in slices that a stop request ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

inline constexpr std::uint32_t kCaptureSnapLength = 65535;
inline constexpr unsigned kFifoReaderWaitMs = 60000;

class CaptureWriter {
 public:
  CaptureWriter() = default;
  CaptureWriter(const CaptureWriter&) = delete;
  CaptureWriter& operator=(const CaptureWriter&) = delete;
  ~CaptureWriter() { close(); }

  // Creates the file and writes the global header. False with `error` when it cannot.
  bool open(const std::string& path, std::string& error);
  // From now on, write() keeps records for drain() to write.
  void spool() { spooled_ = true; }
  // Appends one record stamped `unixMicros` (or keeps it, when spooled).
  // After a failure, writes nothing more.
  void write(std::int64_t unixMicros, const std::uint8_t* bytes, std::size_t length);
  // Writes the records kept so far, whole, and flushes them.
  void drain();
  // Writes what is kept, closes the file and puts it in place, or removes it
  // when it holds no record.
  void close();

  bool isOpen() const { return file_ != nullptr; }
  // Whether the last open() ended on a stop request while waiting for a FIFO's reader.
  bool stoppedOpening() const { return stoppedOpening_; }
  std::size_t records() const;
  bool failed() const;
  std::string error() const;

 private:
  void writeOut(const std::vector<std::uint8_t>& bytes, std::size_t count);

  mutable std::mutex mutex_;  // the kept records; the file's writes one at a time
  std::mutex fileMutex_;
  bool spooled_ = false;
  std::vector<std::uint8_t> kept_;
  std::size_t keptCount_ = 0;
  std::FILE* file_ = nullptr;
  std::string path_;
  std::string writing_;  // the name written to: path_ + ".partial", or path_ itself
  std::size_t records_ = 0;
  std::string error_;
  bool stoppedOpening_ = false;
};

// Microseconds since 1970 by the wall clock.
std::int64_t wallClockMicros();
