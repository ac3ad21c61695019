// --log FILE: a record of each upload for the service engineer. A log sink
// that passes the log on to the usual sink and appends it to the file with
// a time stamp (ISO 8601 local time with its offset) on every line; the
// upload's outcome closes the record with one result line.
#pragma once

#include <cstdio>
#include <ctime>
#include <string>

#include "cli/image_checks.h"
#include "cli/options.h"
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

 private:
  void append(const char* text);

  LogSink& inner_;
  std::FILE* file_ = nullptr;
  bool atLineStart_ = true;
};

// "2026-12-07T11:15:03+01:00": `t` in local time, with the offset from UTC.
std::string isoLocalTime(std::time_t t);

// The record's closing line: `result: file="fw.bin" size=... sha256=...
// adapter=sim address=7 ... result=DONE exit=0`. `fields` are the
// "name=value" parts before the result.
std::string resultLine(const std::string& fields, int exitCode);

// Closes the upload's record (when there is one) with its result line:
// the file, its size and SHA-256, the adapter, serial, address and profile,
// and how it ended. Returns `exitCode`.
int recordResult(RecordLog& record, const Options& options, const ImageFacts& image, int exitCode);
