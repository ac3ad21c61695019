// One upload at a time on an adapter, across processes: an upload holds a
// lock file for its line (flock on POSIX, LockFileEx on Windows) while it
// runs, so that uploader-cli upload in one terminal and the console page
// in another cannot both open the same adapter. The system drops the lock
// when the process ends, however it ends: a crash leaves nothing held.
// Simulated lines need none (each is a line of its own process).
#pragma once

#include <cstdint>
#include <string>

#include "session/line_targets.h"

class LineLock {
 public:
  LineLock() = default;
  ~LineLock();
  LineLock(const LineLock&) = delete;
  LineLock& operator=(const LineLock&) = delete;

  // Takes the lock named `key` in `folder` (made when missing). False with
  // `why` when another upload holds it (naming its process) or the lock
  // file cannot be made.
  bool take(const std::string& folder, const std::string& key, std::string& why);

 private:
  std::intptr_t handle_ = -1;
};

// The lock's name for a line: its driver and the adapter it opens
// ("ftdi:A1B2C3", "artnet:10.0.0.5:1", "tty:/dev/ttyUSB0").
std::string lineLockKey(const LineTarget& target);

// Where the locks are: $UPLOADER_LOCK_DIR when set, else a folder of this
// user's in the runtime or temporary folder.
std::string lineLockFolder();

// `key` as a file name: letters, digits, '.', '-' and '_' as they are,
// every other byte as %XX.
std::string lockFileName(const std::string& key);
