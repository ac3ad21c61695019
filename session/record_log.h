// --log FILE: a record of each upload for the service engineer. A log sink
// that passes the log on to the usual sink and appends it to the file with
// a time stamp (ISO 8601 local time with its offset) on every line; the
// front end closes the record with a result line per upload (note()).
#pragma once

#include <cstdio>
#include <ctime>
#include <string>

#include "engine/log.h"

class RecordLog final : public LogSink {
 public:
  explicit RecordLog(LogSink& inner) : inner_(inner) {}
  ~RecordLog() override;
  RecordLog(const RecordLog&) = delete;
  RecordLog& operator=(const RecordLog&) = delete;

  // Opens `path` for appending. False with `error` naming it when it cannot.
  bool open(const std::string& path, std::string& error);
  bool isOpen() const { return file_ != nullptr; }

  // The log: to the inner sink, and stamped into the file when it is open.
  void write(const char* text) override;
  // One stamped line in the file only (nothing when it is not open).
  void note(const std::string& line);
  // Flushes and closes the file. False when anything could not be written
  // whole, then or before (a full disk): failure() says why.
  bool close();
  // errno of the first write, flush or close that failed; 0 while all went in.
  int failure() const { return failure_; }

 private:
  void append(const char* text);
  void check(bool ok);

  LogSink& inner_;
  std::FILE* file_ = nullptr;
  bool atLineStart_ = true;
  int failure_ = 0;
};

// "2026-12-07T11:15:03+01:00": `t` in local time, with the offset from UTC.
std::string isoLocalTime(std::time_t t);
