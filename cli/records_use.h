// The service records of an upload or a fixtures run, as the command line
// asks for them: --records FILE (refused when unusable: nothing is sent),
// --no-records, or the default place (when unusable, said once, and the
// run goes on unrecorded).
#pragma once

#include <memory>
#include <string>

#include "cli/options.h"
#include "session/service_records.h"

class RecordsUse {
 public:
  // False when --records names a file that cannot be used: `why` says it
  // for an error line (exit 2) and nothing may be sent.
  bool open(const Options& options, std::string& why);
  // Null when nothing is recorded.
  ServiceRecords* records() { return records_.get(); }
  // After the run: when a write failed, says so and turns a good status
  // into exitOutputFailed (the firmware went out as shown; the record is lost).
  int closed(int status);

 private:
  RecordsOpening opening_;
  std::unique_ptr<ServiceRecords> records_;
};
