#include "cli/records_use.h"

#include <cstdio>

#include "cli/terminal_operator.h"
#include "files/shown_text.h"
#include "session/exit_codes.h"

bool RecordsUse::open(const Options& o, std::string& why) {
  if (o.noRecords) return true;
  opening_ = openRecords(o.recordsFile, records::Access::write);
  if (opening_.store != nullptr) {
    records_ = std::make_unique<ServiceRecords>(*opening_.store);
    return true;
  }
  if (opening_.refused) {
    why = "--records " + files::quoted(opening_.path) + ": " + opening_.why +
          "; it was left as it is and nothing was sent (name another file, or --no-records to "
          "go on without a service record)";
    return false;
  }
  // The default place: the upload matters more than its record.
  std::string where;
  if (!opening_.path.empty()) where.append(" ").append(files::quoted(opening_.path));
  std::fprintf(stderr,
               "note: nothing is kept in the service records%s: %s (--records FILE names "
               "another file, --no-records says so)\n",
               where.c_str(), opening_.why.c_str());
  std::fflush(stderr);
  return true;
}

int RecordsUse::closed(int status) {
  if (records_ == nullptr) return status;
  const std::string failure = records_->failure();
  if (failure.empty()) return status;
  printError(stderr, ("the service records " + files::quoted(records_->path()) +
                      " could not be written: " + failure +
                      "; the uploads ended as shown here, their records may be unfinished; "
                      "check the disk")
                         .c_str());
  return status == exitDone ? exitOutputFailed : status;
}
