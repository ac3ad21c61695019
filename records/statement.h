// A prepared statement that finalizes itself, with binding by position
// (from 1) and reading of the current row's columns (from 0).
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>

namespace records {

class Statement {
 public:
  Statement(sqlite3* db, const char* sql) : db_(db) {
    rc_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr);
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool ok() const { return rc_ == SQLITE_OK || rc_ == SQLITE_ROW || rc_ == SQLITE_DONE; }
  int code() const { return rc_; }
  std::string error() const { return sqlite3_errmsg(db_); }

  void bind(int i, const std::string& text) {
    sqlite3_bind_text(stmt_, i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  }
  // "" is stored as NULL: nothing known.
  void bindOrNull(int i, const std::string& text) {
    if (text.empty())
      sqlite3_bind_null(stmt_, i);
    else
      bind(i, text);
  }
  void bind(int i, std::int64_t value) { sqlite3_bind_int64(stmt_, i, value); }
  void bind(int i, const std::optional<std::int64_t>& value) {
    if (value)
      bind(i, *value);
    else
      sqlite3_bind_null(stmt_, i);
  }

  // True while there is a row; check ok() once it is false.
  bool step() {
    if (stmt_ == nullptr) return false;
    rc_ = sqlite3_step(stmt_);
    return rc_ == SQLITE_ROW;
  }

  std::string text(int column) const {
    const unsigned char* t = sqlite3_column_text(stmt_, column);
    return t != nullptr ? std::string(reinterpret_cast<const char*>(t),
                                      static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)))
                        : std::string();
  }
  std::int64_t integer(int column) const { return sqlite3_column_int64(stmt_, column); }
  bool isNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }
  std::optional<std::int64_t> maybe(int column) const {
    if (isNull(column)) return std::nullopt;
    return integer(column);
  }

 private:
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
  int rc_ = SQLITE_OK;
};

}  // namespace records
