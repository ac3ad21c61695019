#include "records/schema.h"

#include <sqlite3.h>

namespace records {

namespace {

// Version 1: the uploads, each row made when it starts and finished when it ends.
constexpr const char* kVersion1 = R"sql(
CREATE TABLE uploads (
  id INTEGER PRIMARY KEY,
  run TEXT NOT NULL,
  started_at TEXT NOT NULL,
  ended_at TEXT,
  host TEXT NOT NULL,
  user TEXT NOT NULL,
  image_name TEXT NOT NULL,
  image_path TEXT NOT NULL,
  image_size INTEGER NOT NULL,
  image_sha256 TEXT NOT NULL,
  profile TEXT NOT NULL,
  fast INTEGER NOT NULL,
  driver TEXT NOT NULL,
  line TEXT NOT NULL,
  serial TEXT,
  node TEXT,
  port_address INTEGER,
  universe INTEGER,
  addresses TEXT NOT NULL,
  result TEXT,
  reason TEXT,
  bytes_delivered INTEGER,
  frames_sent INTEGER,
  exit_status INTEGER
);
CREATE INDEX uploads_started ON uploads (started_at);
CREATE INDEX uploads_sha256 ON uploads (image_sha256, started_at);
CREATE INDEX uploads_image_name ON uploads (image_name, started_at);
CREATE INDEX uploads_line ON uploads (line, started_at);
CREATE INDEX uploads_result ON uploads (result, started_at);
)sql";

// Version 2: the fixtures' readings over RDM, and each fixture's last one.
constexpr const char* kVersion2 = R"sql(
CREATE TABLE readings (
  id INTEGER PRIMARY KEY,
  read_at TEXT NOT NULL,
  uid TEXT NOT NULL,
  manufacturer_id INTEGER NOT NULL,
  model_id INTEGER NOT NULL,
  manufacturer_label TEXT,
  model_label TEXT,
  start_address INTEGER,
  software_version INTEGER NOT NULL,
  software_label TEXT,
  line TEXT NOT NULL,
  occasion TEXT NOT NULL,
  upload_id INTEGER REFERENCES uploads (id)
);
CREATE INDEX readings_uid ON readings (uid, read_at);
CREATE TABLE fixtures (
  uid TEXT PRIMARY KEY,
  reading_id INTEGER NOT NULL REFERENCES readings (id)
);
CREATE INDEX uploads_serial ON uploads (serial);
CREATE INDEX uploads_node ON uploads (node);
CREATE INDEX uploads_driver ON uploads (driver);
CREATE INDEX uploads_unfinished ON uploads (started_at) WHERE ended_at IS NULL;
CREATE INDEX uploads_image_path ON uploads (image_path, started_at);
)sql";

}  // namespace

const char* migrationTo(int version) {
  switch (version) {
    case 1:
      return kVersion1;
    case 2:
      return kVersion2;
    default:
      return nullptr;
  }
}

bool migrate(sqlite3* db, int version, std::string& why) {
  for (int v = version + 1; v <= kSchemaVersion; ++v) {
    char* error = nullptr;
    const std::string step =
        std::string(migrationTo(v)) + "PRAGMA user_version = " + std::to_string(v) + ";";
    if (sqlite3_exec(db, step.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
      why = "schema version " + std::to_string(v) + ": " + (error != nullptr ? error : "failed");
      sqlite3_free(error);
      return false;
    }
  }
  return true;
}

}  // namespace records
