#include "records/store.h"

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "records/schema.h"
#include "records/statement.h"

namespace records {

namespace {

// Another process writing its rows holds the file a few milliseconds; a
// writer that waits longer than this has found the file locked for good.
constexpr int kBusyMs = 10000;

bool exec(sqlite3* db, const char* sql, std::string& why) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &error) == SQLITE_OK) return true;
  why = error != nullptr ? error : sqlite3_errmsg(db);
  sqlite3_free(error);
  return false;
}

// What a failed call on an open file means for the person.
OpenProblem problemOf(int code) {
  switch (code & 0xFF) {
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
      return OpenProblem::notADatabase;
    case SQLITE_READONLY:
    case SQLITE_FULL:
    case SQLITE_IOERR:
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
      return OpenProblem::cannotWrite;
    default:
      return OpenProblem::cannotOpen;
  }
}

struct Closer {
  sqlite3* db;
  ~Closer() {
    if (db != nullptr) sqlite3_close(db);
  }
};

bool readVersion(sqlite3* db, int& version, int& tables, int& code, std::string& why) {
  Statement v(db, "PRAGMA user_version");
  if (v.ok() && v.step()) version = static_cast<int>(v.integer(0));
  if (!v.ok()) {
    code = sqlite3_extended_errcode(db);
    why = v.error();
    return false;
  }
  Statement t(db, "SELECT count(*) FROM sqlite_master");
  if (t.ok() && t.step()) tables = static_cast<int>(t.integer(0));
  if (!t.ok()) {
    code = sqlite3_extended_errcode(db);
    why = t.error();
    return false;
  }
  return true;
}

}  // namespace

std::unique_ptr<Store> Store::open(const std::string& path, Access access, OpenProblem& problem,
                                   std::string& why) {
  // Processes that start together on a new file race to make it: the one
  // that switches it to WAL holds it alone for a moment, and SQLite answers
  // the others "locked" without waiting. They try again, within the bound.
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyMs);
  for (;;) {
    bool busy = false;
    std::unique_ptr<Store> store = tryOpen(path, access, problem, why, busy);
    if (store != nullptr || !busy || std::chrono::steady_clock::now() > until) return store;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

std::unique_ptr<Store> Store::tryOpen(const std::string& path, Access access, OpenProblem& problem,
                                      std::string& why, bool& busy) {
  problem = OpenProblem::none;
  Closer db{nullptr};
  const auto fail = [&](OpenProblem p, const std::string& text) {
    problem = p;
    why = text;
    const int code = db.db != nullptr ? sqlite3_extended_errcode(db.db) & 0xFF : SQLITE_OK;
    busy = busy || code == SQLITE_BUSY || code == SQLITE_LOCKED;
    return std::unique_ptr<Store>();
  };
  int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX;
  if (access == Access::write) flags |= SQLITE_OPEN_CREATE;
  int rc = sqlite3_open_v2(path.c_str(), &db.db, flags, nullptr);
  if (rc != SQLITE_OK) {
    if (access == Access::read && (rc & 0xFF) == SQLITE_CANTOPEN) {
      // No file (or no folder) there: nothing recorded yet.
      std::FILE* f = std::fopen(path.c_str(), "rb");
      if (f == nullptr) return fail(OpenProblem::missing, "no records there yet");
      std::fclose(f);
    }
    return fail(OpenProblem::cannotOpen,
                db.db != nullptr ? sqlite3_errmsg(db.db) : "cannot be opened");
  }
  sqlite3_extended_result_codes(db.db, 1);
  sqlite3_busy_timeout(db.db, kBusyMs);

  // Read before anything is written: a file that is not ours stays as it is.
  int version = 0, tables = 0, code = 0;
  std::string error;
  if (!readVersion(db.db, version, tables, code, error)) {
    const OpenProblem p = problemOf(code);
    return fail(p == OpenProblem::notADatabase ? p : OpenProblem::cannotOpen, error);
  }
  if (version > kSchemaVersion)
    return fail(OpenProblem::newerSchema, "its schema is version " + std::to_string(version) +
                                              ", of a newer uploader (this one knows up to " +
                                              std::to_string(kSchemaVersion) + ")");
  if (version == 0 && tables > 0)
    return fail(OpenProblem::notADatabase, "it is a SQLite database of another program");
  const bool readOnly = sqlite3_db_readonly(db.db, "main") == 1;
  if (readOnly && (access == Access::write || version < kSchemaVersion))
    return fail(OpenProblem::cannotWrite, "the file or its folder is read-only");

  // Reading records of this schema needs no write at all.
  const bool reading = access == Access::read && version == kSchemaVersion;
  if (!readOnly && !reading) {
    // WAL: readers never wait for the writer, and several processes write in turn.
    {
      Statement wal(db.db, "PRAGMA journal_mode = WAL");
      const bool inWal = wal.ok() && wal.step() && wal.text(0) == "wal";
      if (!inWal)
        return fail(problemOf(sqlite3_extended_errcode(db.db)),
                    wal.ok() ? "it cannot be written ahead (WAL)" : wal.error());
    }
    // A row that is said to be written is on the disk, power loss or not.
    if (!exec(db.db, "PRAGMA synchronous = FULL", error))
      return fail(OpenProblem::cannotOpen, error);
    // Made or brought up to date under the write lock: another process may
    // be doing the same at this moment, and the first one does it.
    if (!exec(db.db, "BEGIN IMMEDIATE", error))
      return fail(problemOf(sqlite3_extended_errcode(db.db)), error);
    if (!readVersion(db.db, version, tables, code, error) ||
        (version < kSchemaVersion && !migrate(db.db, version, error)) ||
        !exec(db.db, "COMMIT", error)) {
      const int failed = sqlite3_extended_errcode(db.db);
      busy = (failed & 0xFF) == SQLITE_BUSY || (failed & 0xFF) == SQLITE_LOCKED;
      std::string ignored;
      exec(db.db, "ROLLBACK", ignored);
      return fail(problemOf(failed), error);
    }
  }
  std::unique_ptr<Store> store(new Store(db.db, path));
  db.db = nullptr;
  return store;
}

Store::~Store() { sqlite3_close(db_); }

bool Store::beginUpload(const UploadStart& s, std::int64_t& id, std::string& why) {
  std::lock_guard<std::mutex> lock(mutex_);
  Statement st(db_,
               "INSERT INTO uploads (run, started_at, host, user, image_name, image_path, "
               "image_size, image_sha256, profile, fast, driver, line, serial, node, port_address, "
               "universe, addresses) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
  st.bind(1, s.run);
  st.bind(2, s.startedAt);
  st.bind(3, s.host);
  st.bind(4, s.user);
  st.bind(5, s.imageName);
  st.bind(6, s.imagePath);
  st.bind(7, s.imageSize);
  st.bind(8, s.imageSha256);
  st.bind(9, s.profile);
  st.bind(10, std::int64_t{s.fast ? 1 : 0});
  st.bind(11, s.driver);
  st.bind(12, s.line);
  st.bindOrNull(13, s.serial);
  st.bindOrNull(14, s.node);
  st.bind(15, s.portAddress);
  st.bind(16, s.universe);
  st.bind(17, s.addresses);
  st.step();
  if (!st.ok()) {
    why = st.error();
    return false;
  }
  id = sqlite3_last_insert_rowid(db_);
  return true;
}

bool Store::endUpload(std::int64_t id, const UploadEnd& e, std::string& why) {
  std::lock_guard<std::mutex> lock(mutex_);
  Statement st(db_,
               "UPDATE uploads SET ended_at = ?, result = ?, reason = ?, bytes_delivered = ?, "
               "frames_sent = ? WHERE id = ?");
  st.bind(1, e.endedAt);
  st.bind(2, e.result);
  st.bindOrNull(3, e.reason);
  st.bind(4, e.bytes);
  st.bind(5, e.frames);
  st.bind(6, id);
  st.step();
  if (st.ok()) return true;
  why = st.error();
  return false;
}

bool Store::setExitStatus(std::int64_t id, int status, std::string& why) {
  std::lock_guard<std::mutex> lock(mutex_);
  Statement st(db_, "UPDATE uploads SET exit_status = ? WHERE id = ?");
  st.bind(1, std::int64_t{status});
  st.bind(2, id);
  st.step();
  if (st.ok()) return true;
  why = st.error();
  return false;
}

bool Store::addReading(const FixtureReading& r, std::string& why) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!exec(db_, "BEGIN IMMEDIATE", why)) return false;
  Statement st(db_,
               "INSERT INTO readings (read_at, uid, manufacturer_id, model_id, "
               "manufacturer_label, model_label, start_address, software_version, "
               "software_label, line, occasion, upload_id) VALUES (?,?,?,?,?,?,?,?,?,?,?,?)");
  st.bind(1, r.readAt);
  st.bind(2, r.uid);
  st.bind(3, r.manufacturerId);
  st.bind(4, r.modelId);
  st.bindOrNull(5, r.manufacturerLabel);
  st.bindOrNull(6, r.modelLabel);
  st.bind(7, r.startAddress);
  st.bind(8, r.softwareVersion);
  st.bindOrNull(9, r.softwareLabel);
  st.bind(10, r.line);
  st.bind(11, r.occasion);
  st.bind(12, r.upload);
  st.step();
  bool ok = st.ok();
  if (ok) {
    // A reading taken earlier (a slower process) does not replace a later one.
    Statement last(db_,
                   "INSERT INTO fixtures (uid, reading_id) VALUES (?1, ?2) ON CONFLICT (uid) DO "
                   "UPDATE SET reading_id = ?2 WHERE (SELECT read_at FROM readings WHERE id = "
                   "fixtures.reading_id) <= (SELECT read_at FROM readings WHERE id = ?2)");
    last.bind(1, r.uid);
    last.bind(2, sqlite3_last_insert_rowid(db_));
    last.step();
    ok = last.ok();
    if (!ok) why = last.error();
  } else {
    why = st.error();
  }
  std::string ignored;
  if (ok && exec(db_, "COMMIT", why)) return true;
  exec(db_, "ROLLBACK", ignored);
  return false;
}

std::string utcNow() {
  using namespace std::chrono;
  const auto now = time_point_cast<milliseconds>(system_clock::now());
  const auto day = floor<days>(now);
  const year_month_day date{day};
  const hh_mm_ss<milliseconds> time{now - day};
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", int(date.year()),
                unsigned(date.month()), unsigned(date.day()), int(time.hours().count()),
                int(time.minutes().count()), int(time.seconds().count()),
                int(time.subseconds().count()));
  return text;
}

}  // namespace records
