// The records' schema: the version this program writes (PRAGMA
// user_version) and the steps that bring a file of each earlier version
// to it. docs/records.md describes every version.
#pragma once

#include <string>

struct sqlite3;

namespace records {

inline constexpr int kSchemaVersion = 2;

// The SQL that takes a file of version `from` - 1 to version `from`.
const char* migrationTo(int version);

// Brings the file from `version` to kSchemaVersion, in one transaction the
// caller holds. False with `why` when a step fails.
bool migrate(sqlite3* db, int version, std::string& why);

}  // namespace records
