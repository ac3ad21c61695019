// Opening the records: a new file, the steps from each earlier schema, and
// files that are not ours (not a database, a newer schema, another
// program's database, unwritable), which are refused and left as they are.
#include "records/store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "records/schema.h"
#include "tests/records/records_test_support.h"

namespace {

using records::Access;
using records::OpenProblem;

class StoreOpening : public ::testing::Test {
 protected:
  // Refused with `expected`; the file's bytes stay as they were.
  void expectRefusedUnchanged(const std::string& path, OpenProblem expected,
                              const std::string& whyPart) {
    const std::string before = fileBytes(path);
    OpenProblem problem = OpenProblem::none;
    std::string why;
    EXPECT_EQ(records::Store::open(path, Access::write, problem, why), nullptr);
    EXPECT_EQ(problem, expected) << why;
    EXPECT_NE(why.find(whyPart), std::string::npos) << why;
    EXPECT_EQ(fileBytes(path), before);
    EXPECT_FALSE(std::filesystem::exists(path + "-wal"));
  }

  // A file of schema version `version`, made by the steps up to it.
  std::string fileOfVersion(int version) {
    const std::string path = (folder / ("v" + std::to_string(version) + ".sqlite")).string();
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    for (int v = 1; v <= version; ++v) {
      const std::string step =
          std::string(records::migrationTo(v)) + "PRAGMA user_version = " + std::to_string(v) + ";";
      EXPECT_EQ(sqlite3_exec(db, step.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    }
    EXPECT_EQ(sqlite3_exec(db,
                           "INSERT INTO uploads (run, started_at, host, user, image_name, "
                           "image_path, image_size, image_sha256, profile, fast, driver, line, "
                           "addresses) VALUES ('old', '2026-01-01T00:00:00.000Z', 'h', 'u', "
                           "'old.bin', 'old.bin', 10, 'ab', 'v1.1', 0, 'sim', 'sim', '7')",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    return path;
  }

  TempFolder folder{"uploader-records-store"};
};

TEST_F(StoreOpening, ANewFileIsOfThisSchemaWrittenAhead) {
  const std::string path = (folder / "records.sqlite").string();
  auto store = openStore(path);
  ASSERT_NE(store, nullptr);
  EXPECT_EQ(askNumber(path, "PRAGMA user_version"), records::kSchemaVersion);
  EXPECT_EQ(askNumber(path, "SELECT count(*) FROM sqlite_master WHERE name = 'readings'"), 1);
  std::string mode;
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &st, nullptr);
  if (sqlite3_step(st) == SQLITE_ROW)
    mode = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
  sqlite3_finalize(st);
  sqlite3_close(db);
  EXPECT_EQ(mode, "wal");
}

TEST_F(StoreOpening, EachEarlierVersionIsBroughtUpKeepingItsRows) {
  for (int version = 1; version < records::kSchemaVersion; ++version) {
    SCOPED_TRACE("from version " + std::to_string(version));
    const std::string path = fileOfVersion(version);
    auto store = openStore(path);
    ASSERT_NE(store, nullptr);
    EXPECT_EQ(askNumber(path, "PRAGMA user_version"), records::kSchemaVersion);
    std::vector<records::HistoryRow> rows;
    std::string why;
    ASSERT_TRUE(store->history(records::HistoryFilter(), rows, why)) << why;
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].start.imageName, "old.bin");
    records::FixtureReading r;
    r.readAt = "2026-02-01T00:00:00.000Z";
    r.uid = "29A9:00000001";
    r.line = "artnet:10.0.0.5";
    r.occasion = "fixtures";
    EXPECT_TRUE(store->addReading(r, why)) << why;
  }
}

TEST_F(StoreOpening, AFileOfAnotherKindIsRefusedAndLeftAsItIs) {
  const std::string text = (folder / "notes.txt").string();
  std::ofstream(text) << std::string(5000, 'x');
  expectRefusedUnchanged(text, OpenProblem::notADatabase, "not a database");

  const std::string other = (folder / "other.sqlite").string();
  sqlite3* db = nullptr;
  sqlite3_open(other.c_str(), &db);
  sqlite3_exec(db, "CREATE TABLE songs (title TEXT)", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  expectRefusedUnchanged(other, OpenProblem::notADatabase, "another program");
}

TEST_F(StoreOpening, ANewerSchemaIsRefusedAndLeftAsItIs) {
  const std::string path = (folder / "newer.sqlite").string();
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  const std::string newer = "PRAGMA user_version = " + std::to_string(records::kSchemaVersion + 1);
  sqlite3_exec(db, newer.c_str(), nullptr, nullptr, nullptr);
  sqlite3_close(db);
  expectRefusedUnchanged(path, OpenProblem::newerSchema, "newer uploader");
  OpenProblem problem = OpenProblem::none;
  std::string why;
  EXPECT_EQ(records::Store::open(path, Access::read, problem, why), nullptr);
  EXPECT_EQ(problem, OpenProblem::newerSchema);
}

TEST_F(StoreOpening, AReadOnlyFileIsRefusedForWritingButRead) {
  const std::string path = (folder / "records.sqlite").string();
  openStore(path).reset();
  std::filesystem::permissions(path, std::filesystem::perms::owner_read);
  // Writable again at the end, or Windows keeps the file and its folder.
  struct Writable {
    std::string path;
    ~Writable() {
      std::error_code ignored;
      std::filesystem::permissions(path, std::filesystem::perms::owner_write,
                                   std::filesystem::perm_options::add, ignored);
    }
  } restore{path};
  if (std::FILE* f = std::fopen(path.c_str(), "r+")) {
    std::fclose(f);
    GTEST_SKIP() << "this user writes read-only files (root)";
  }
  expectRefusedUnchanged(path, OpenProblem::cannotWrite, "read-only");
  EXPECT_NE(openStore(path, Access::read), nullptr);
}

TEST_F(StoreOpening, NoFileToReadIsNoRecordsYetAndNothingIsMade) {
  const std::string path = (folder / "none.sqlite").string();
  OpenProblem problem = OpenProblem::none;
  std::string why;
  EXPECT_EQ(records::Store::open(path, Access::read, problem, why), nullptr);
  EXPECT_EQ(problem, OpenProblem::missing);
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_EQ(
      records::Store::open((folder / "no/such/x.sqlite").string(), Access::write, problem, why),
      nullptr);
  EXPECT_EQ(problem, OpenProblem::cannotOpen);
}

TEST_F(StoreOpening, ManyThreadsAndConnectionsWriteEveryRow) {
  const std::string path = (folder / "records.sqlite").string();
  std::vector<std::thread> writers;
  for (int w = 0; w < 4; ++w)
    writers.emplace_back([&path, w] {
      auto store = openStore(path);
      if (store == nullptr) return;
      std::vector<std::thread> lines;
      for (int l = 0; l < 4; ++l)
        lines.emplace_back([&store, w, l] {
          // Appended piece by piece: GCC 12's -Wrestrict misreads "literal" + string at -O3.
          std::string line("sim:");
          line.append(std::to_string(w * 4 + l));
          for (int i = 0; i < 10; ++i) {
            std::int64_t id = 0;
            std::string why;
            EXPECT_TRUE(store->beginUpload(uploadOn(line, "2026-12-07T12:00:00.000Z"), id, why))
                << why;
            EXPECT_TRUE(store->endUpload(id, endedAs("done"), why)) << why;
          }
        });
      for (auto& t : lines) t.join();
    });
  for (auto& t : writers) t.join();
  EXPECT_EQ(askNumber(path, "SELECT count(*) FROM uploads WHERE result = 'done'"), 160);
  EXPECT_EQ(askNumber(path, "SELECT count(DISTINCT id) FROM uploads"), 160);
}

}  // namespace
