// The service records: every upload and every reading of a fixture, kept
// in one SQLite file that several processes may write at once (WAL, a busy
// timeout). A file that is not a database of ours, or of a newer schema, is
// never changed. Every call is safe from any thread; nothing here prints.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "records/rows.h"

struct sqlite3;

namespace records {

// Why records could not be opened.
enum class OpenProblem : std::uint8_t {
  none,
  missing,       // Access::read only: no file there yet
  notADatabase,  // the file is something else
  newerSchema,   // written by a newer uploader
  cannotWrite,   // read-only file or folder, a full disk, locked for too long
  cannotOpen,    // no such folder, no permission to read
};

enum class Access : std::uint8_t {
  write,  // made when missing, brought to this schema
  read,   // history and inventory: brought to this schema only when it is older
};

class Store {
 public:
  // Null with `problem` and `why` (one line naming what failed) when the
  // records at `path` cannot be used; the file is then as it was.
  static std::unique_ptr<Store> open(const std::string& path, Access access, OpenProblem& problem,
                                     std::string& why);
  ~Store();
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  const std::string& path() const { return path_; }

  // Each write is a transaction of its own, durable when it returns true;
  // false with `why` (a full disk: "database or disk is full").
  bool beginUpload(const UploadStart& start, std::int64_t& id, std::string& why);
  bool endUpload(std::int64_t id, const UploadEnd& end, std::string& why);
  bool setExitStatus(std::int64_t id, int status, std::string& why);
  bool addReading(const FixtureReading& reading, std::string& why);

  // Newest first.
  bool history(const HistoryFilter& filter, std::vector<HistoryRow>& rows, std::string& why);
  // Each fixture's last reading, by model then UID.
  bool inventory(std::vector<InventoryRow>& rows, std::string& why);

 private:
  Store(sqlite3* db, std::string path) : db_(db), path_(std::move(path)) {}
  // One attempt; `busy` when another connection held the file meanwhile.
  static std::unique_ptr<Store> tryOpen(const std::string& path, Access access,
                                        OpenProblem& problem, std::string& why, bool& busy);

  std::mutex mutex_;
  sqlite3* db_;
  std::string path_;
};

// "2026-12-07T18:55:08.123Z": now, in UTC.
std::string utcNow();

}  // namespace records
