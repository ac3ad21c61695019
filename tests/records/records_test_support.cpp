#include "tests/records/records_test_support.h"

#include <sqlite3.h>

#include <fstream>
#include <iterator>

std::unique_ptr<records::Store> openStore(const std::string& path, records::Access access) {
  records::OpenProblem problem = records::OpenProblem::none;
  std::string why;
  auto store = records::Store::open(path, access, problem, why);
  EXPECT_NE(store, nullptr) << why;
  return store;
}

records::UploadStart uploadOn(const std::string& line, const std::string& startedAt,
                              const std::string& sha) {
  records::UploadStart s;
  s.run = "test";
  s.startedAt = startedAt;
  s.host = "bench";
  s.user = "tech";
  s.imageName = "fw.bin";
  s.imagePath = "/tmp/fw.bin";
  s.imageSize = 4096;
  s.imageSha256 = sha;
  s.profile = "v1.2";
  s.driver = line.substr(0, line.find(':'));
  s.line = line;
  s.addresses.assign(1, '1');  // not = "1": a false -Wrestrict of GCC 12 at -O3
  return s;
}

records::UploadEnd endedAs(const std::string& result) {
  records::UploadEnd e;
  e.endedAt = "2026-12-07T12:00:05.000Z";
  e.result = result;
  e.bytes = 4096;
  e.frames = 700;
  return e;
}

std::string fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

long long askNumber(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  long long n = -1;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
      n = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
  }
  sqlite3_close(db);
  return n;
}
