// The service records of a session: each upload written when it starts and
// finished when it ends (on the line's own thread, never the timing
// thread), and each reading of a fixture over RDM. A write that fails (a
// full disk) never stops an upload: the first failure is kept for the
// front end to tell. Nothing here prints.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "drivers/artnet_rdm.h"
#include "records/store.h"
#include "session/events.h"
#include "session/image.h"
#include "session/line_targets.h"

// Where the records are kept unless --records names another file:
// $XDG_DATA_HOME/tavik-uploader/records.sqlite (~/.local/share/... when it
// is not set or not absolute), %LOCALAPPDATA%\tavik-uploader\ on Windows.
// "" with `why` when no such place is known.
std::string defaultRecordsPath(std::string& why);

// The records a front end asked for.
struct RecordsOpening {
  std::unique_ptr<records::Store> store;  // null: nothing is recorded
  bool refused = false;  // a file named by the person cannot be used: nothing may be sent
  bool missing = false;  // records::Access::read: no file there yet
  std::string path;      // the file tried
  std::string why;       // why nothing is recorded; "" when the store is open
};

// `given`: the file --records names, "" for the default place (whose
// folder is made when missing). The default place that cannot be used is
// not refused: the uploads go on unrecorded.
RecordsOpening openRecords(const std::string& given, records::Access access);

class ServiceRecords {
 public:
  explicit ServiceRecords(records::Store& store);

  // What every upload of this session shares.
  void setImage(const ImageBytes& image, const std::string& profile, bool fast);

  // The row of an upload about to start on `line`; 0 when it could not be written.
  std::int64_t uploadStarted(const LineTarget& line, const std::vector<int>& addresses);
  void uploadEnded(std::int64_t id, const UploadReport& report);
  // An upload that never started (skipped, its capture refused): begun and ended at once.
  std::int64_t uploadNotRun(const LineTarget& line, const UploadReport& report);
  // The exit status the front end came to for the upload.
  void exitStatus(std::int64_t id, int status);

  // A fixture's reading through the adapter argument `line`: "fixtures",
  // "before upload", "after upload". Readings without DEVICE_INFO say
  // nothing of the firmware and are left out.
  void reading(const artnet::FixtureReading& reading, const std::string& line,
               const std::string& occasion);

  const std::string& path() const { return store_.path(); }
  // Why the first write failed; "" while every one went in.
  std::string failure() const;

 private:
  void failed(const std::string& why);

  records::Store& store_;
  records::UploadStart common_;
  mutable std::mutex mutex_;
  std::string failure_;
};
