// The service records end to end: what an upload leaves in them, eight
// processes writing one file at once, an upload killed in the middle, files
// that are refused and left as they are, a default place that cannot be
// used, a record lost to a full disk, and history and inventory reading them.
#include <signal.h>
#include <sqlite3.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/cli/cli_fixture.h"
#include "tests/net/fake_rdm_node.h"
#include "tests/records/records_test_support.h"

namespace {

class CliRecords : public CliTest {
 protected:
  std::string records() const { return dir + "/records.sqlite"; }
  long long count(const std::string& where) {
    return askNumber(records(), "SELECT count(*) FROM uploads WHERE " + where);
  }
};

// Ends a started process however the test ends.
struct Started {
  RunningProcess p;
  ~Started() { killProcess(p); }
};

TEST_F(CliRecords, AnUploadLeavesItsRowAndHistoryShowsIt) {
  const std::string fw = image(300);
  const ProcessResult r =
      cli({"upload", fw, "--fast", "--adapter", "sim:2", "--address", "7", "--records", records()});
  ASSERT_EQ(r.exitCode, 0) << show(r);
  EXPECT_EQ(count("result = 'done' AND exit_status = 0 AND bytes_delivered = 300 AND "
                  "frames_sent > 0 AND ended_at >= started_at AND addresses = '7' AND fast = 1 "
                  "AND image_name = 'image.bin' AND image_size = 300 AND driver = 'sim'"),
            2);
  EXPECT_EQ(count("line IN ('sim:1', 'sim:2') AND length(image_sha256) = 64 AND host <> ''"), 2);

  const ProcessResult h = cli({"history", "--records", records(), "--json"});
  ASSERT_EQ(h.exitCode, 0) << show(h);
  EXPECT_TRUE(contains(h.out, "\"result\": \"done\"")) << show(h);
  EXPECT_TRUE(contains(h.out, "\"label\": \"sim:2\"")) << show(h);
  const ProcessResult csv = cli({"history", "--records", records(), "--csv", "--adapter", "sim:1"});
  EXPECT_EQ(std::count(csv.out.begin(), csv.out.end(), '\n'), 2) << show(csv);
  const ProcessResult none = cli({"history", "--records", records(), "--result", "failed"});
  EXPECT_EQ(std::count(none.out.begin(), none.out.end(), '\n'), 1) << show(none);
}

TEST_F(CliRecords, AFailedUploadKeepsItsOutcomeAndExitStatus) {
  const std::string fw = image(300);
  const ProcessResult r = cli({"upload", fw, "--fast", "--adapter", "sim", "--sim-fail",
                               "write-after:3", "--records", records()});
  ASSERT_EQ(r.exitCode, 1) << show(r);
  EXPECT_EQ(count("result = 'failed' AND exit_status = 1 AND reason LIKE '%simulated failure%'"),
            1);
}

TEST_F(CliRecords, NoRecordsKeepsNoneAndTheDefaultPlaceIsTheDataFolder) {
  const std::string fw = image(100);
  ProcessResult r = cli({"upload", fw, "--fast", "--adapter", "sim", "--no-records"});
  ASSERT_EQ(r.exitCode, 0) << show(r);
  const std::string place = dir + "/data/tavik-uploader/records.sqlite";
  EXPECT_FALSE(std::filesystem::exists(place));
  r = cli({"upload", fw, "--fast", "--adapter", "sim"});
  ASSERT_EQ(r.exitCode, 0) << show(r);
  EXPECT_EQ(askNumber(place, "SELECT count(*) FROM uploads WHERE result = 'done'"), 1);
  EXPECT_EQ(cli({"upload", fw, "--no-records", "--records", records()}).exitCode, 64);
}

TEST_F(CliRecords, EightProcessesAtOnceRecordEveryUpload) {
  const std::string fw = image(200);
  std::vector<Started> runs(8);
  for (Started& s : runs)
    s.p = startProcess(
        program(), {"upload", fw, "--fast", "--adapter", "sim", "--records", records(), "-q"}, dir);
  for (Started& s : runs) {
    const ProcessResult r = finishProcess(s.p, 120);
    EXPECT_EQ(r.exitCode, 0) << show(r);
  }
  EXPECT_EQ(count("result = 'done' AND exit_status = 0"), 8);
  EXPECT_EQ(count("1"), 8);
  EXPECT_EQ(askNumber(records(), "SELECT count(DISTINCT run) FROM uploads"), 8);
}

TEST_F(CliRecords, AnUploadKilledInTheMiddleStaysUnfinishedInAnIntactFile) {
  const std::string fw = image(3000);
  Started run{
      startProcess(program(), {"upload", fw, "--adapter", "sim", "--records", records()}, dir)};
  bool started = false;
  for (int i = 0; i < 2000 && !started; ++i) {
    started = count("1") == 1;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_TRUE(started);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  killProcess(run.p);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(records().c_str(), &db), SQLITE_OK);
  std::string check;
  sqlite3_exec(
      db, "PRAGMA integrity_check",
      [](void* out, int, char** values, char**) {
        *static_cast<std::string*>(out) += values[0];
        return 0;
      },
      &check, nullptr);
  sqlite3_close(db);
  EXPECT_EQ(check, "ok");
  EXPECT_EQ(count("ended_at IS NULL AND result IS NULL AND exit_status IS NULL"), 1);
  const ProcessResult h = cli({"history", "--records", records(), "--result", "unfinished"});
  EXPECT_TRUE(contains(h.out, "unfinished")) << show(h);
  EXPECT_FALSE(contains(h.out, "done")) << show(h);
}

TEST_F(CliRecords, AFileThatIsNotOursIsRefusedBeforeAnythingIsSent) {
  const std::string fw = image(100);
  const std::string notes = file("notes.sqlite", std::vector<std::uint8_t>(3000, 'x'));
  const std::string newer = dir + "/newer.sqlite";
  sqlite3* db = nullptr;
  sqlite3_open(newer.c_str(), &db);
  sqlite3_exec(db, "PRAGMA user_version = 99", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  const std::string nowhere = dir + "/no-such-folder/records.sqlite";
  for (const auto& [path, why] : {std::pair<std::string, std::string>{notes, "not a database"},
                                  {newer, "newer uploader"},
                                  {nowhere, "unable to open"}}) {
    SCOPED_TRACE(path);
    const std::string before = read(path).empty() ? "" : fileBytes(path);
    const ProcessResult r = cli({"upload", fw, "--fast", "--adapter", "sim", "--records", path});
    EXPECT_EQ(r.exitCode, 2) << show(r);
    EXPECT_TRUE(contains(r.err, why)) << show(r);
    EXPECT_TRUE(contains(r.err, "--no-records")) << show(r);
    EXPECT_FALSE(contains(r.out, "Opened device")) << show(r);
    EXPECT_EQ(before.empty() ? "" : fileBytes(path), before);
    EXPECT_FALSE(std::filesystem::exists(path + "-wal"));
  }
  EXPECT_EQ(cli({"history", "--records", notes}).exitCode, 2);
  EXPECT_EQ(cli({"inventory", "--records", newer}).exitCode, 2);
}

TEST_F(CliRecords, ADefaultPlaceThatCannotBeUsedIsSaidOnceAndTheUploadGoesOn) {
  const std::string fw = image(100);
  const std::string blocker = file("not-a-folder", {});
  ChildSetup setup;
  setup.environment = {{"XDG_DATA_HOME", blocker}};
  const ProcessResult r = cli({"upload", fw, "--fast", "--adapter", "sim:2"}, 120, setup);
  EXPECT_EQ(r.exitCode, 0) << show(r);
  std::size_t said = 0;
  for (std::size_t at = 0;
       (at = r.err.find("nothing is kept in the service records", at)) != std::string::npos; ++at)
    ++said;
  EXPECT_EQ(said, 1u) << show(r);
  EXPECT_TRUE(contains(r.err, "--no-records")) << show(r);
}

TEST_F(CliRecords, ADefaultFileThatIsNotOursIsLeftAsItIsAndTheUploadGoesOn) {
  const std::string fw = image(100);
  std::filesystem::create_directories(dir + "/data/tavik-uploader");
  const std::string place = dir + "/data/tavik-uploader/records.sqlite";
  std::ofstream(place) << "notes, not records\n";
  const std::string before = fileBytes(place);
  const ProcessResult r = cli({"upload", fw, "--fast", "--adapter", "sim"});
  EXPECT_EQ(r.exitCode, 0) << show(r);
  EXPECT_TRUE(contains(r.err, "nothing is kept in the service records")) << show(r);
  EXPECT_TRUE(contains(r.err, "not a database")) << show(r);
  EXPECT_EQ(fileBytes(place), before);
}

TEST_F(CliRecords, ARecordLostToAFullDiskIsSaidAndEndsAGoodUploadWith74) {
  const std::string fw = image(300);
  ASSERT_EQ(cli({"upload", fw, "--fast", "--adapter", "sim", "--records", records()}).exitCode, 0);
  // How far the write-ahead log grows with an upload's first row: a copy of
  // the file, and an upload on it killed once that row is in.
  const std::string copy = dir + "/copy.sqlite";
  std::filesystem::copy_file(records(), copy);
  {
    Started run{
        startProcess(program(), {"upload", fw, "--adapter", "sim", "--records", copy}, dir)};
    for (int i = 0; i < 2000 && askNumber(copy, "SELECT count(*) FROM uploads") < 2; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    killProcess(run.p);
  }
  const auto firstRow = std::filesystem::file_size(copy + "-wal");
  ASSERT_GT(firstRow, 0u);
  // A disk that fills once that row is written.
  ChildSetup full;
  full.fileSizeLimit = static_cast<long>(std::max<std::uintmax_t>(firstRow, 32768) + 100);
  const ProcessResult r =
      cli({"upload", fw, "--fast", "--adapter", "sim", "--records", records()}, 120, full);
  EXPECT_EQ(r.exitCode, 74) << show(r);
  EXPECT_TRUE(contains(r.out, "match: 300 file bytes")) << show(r);
  EXPECT_TRUE(contains(r.err, "could not be written")) << show(r);
  EXPECT_EQ(count("ended_at IS NULL"), 1);
  EXPECT_EQ(count("result = 'done'"), 1);
}

TEST_F(CliRecords, FixturesReadingsMakeTheInventoryWithTheOddVersionMarked) {
  std::vector<testnet::FakeResponder> fixtures(3);
  for (std::uint32_t i = 0; i < 3; ++i) {
    fixtures[i].device = i + 1;
    fixtures[i].address = static_cast<std::uint16_t>(1 + 16 * i);
    fixtures[i].version = i == 1 ? 0x01000000 : 0x02000000;
    fixtures[i].label = i == 1 ? "1.0" : "2.0";
  }
  testnet::FakeRdmNode node(0x0001, fixtures, 6454);
  if (!node.good()) GTEST_SKIP() << "127.0.0.1:6454 is taken";
  const ProcessResult r =
      cli({"fixtures", "--adapter", "artnet:127.0.0.1:0:0:1", "--records", records()}, 60);
  ASSERT_EQ(r.exitCode, 0) << show(r);
  EXPECT_EQ(askNumber(records(),
                      "SELECT count(*) FROM readings WHERE occasion = 'fixtures' AND "
                      "model_label = 'Test Fixture' AND manufacturer_label = 'Tavik'"),
            3);
  const ProcessResult j = cli({"inventory", "--records", records(), "--json"});
  ASSERT_EQ(j.exitCode, 0) << show(j);
  EXPECT_TRUE(contains(j.out, "\"uid\": \"29A9:00000002\"")) << show(j);
  EXPECT_TRUE(contains(j.out,
                       "\"softwareLabel\": \"1.0\",\n      \"line\": "
                       "\"artnet:127.0.0.1:0:0:1\""))
      << show(j);
  std::size_t older = 0;
  for (std::size_t at = 0;
       (at = j.out.find("\"olderThanOthersOfModel\": true", at)) != std::string::npos; ++at)
    ++older;
  EXPECT_EQ(older, 1u) << show(j);
  const ProcessResult t = cli({"inventory", "--records", records()});
  EXPECT_TRUE(contains(t.out, "* older than others of its model")) << show(t);
}

TEST_F(CliRecords, HistoryAndInventoryOfNoRecordsYetAreEmpty) {
  ProcessResult r = cli({"history", "--json"});
  EXPECT_EQ(r.exitCode, 0) << show(r);
  EXPECT_TRUE(contains(r.out, "\"uploads\": []")) << show(r);
  r = cli({"inventory"});
  EXPECT_EQ(r.exitCode, 0) << show(r);
  EXPECT_TRUE(contains(r.out, "UID")) << show(r);
  EXPECT_EQ(cli({"history", "--since", "yesterday"}).exitCode, 64);
  EXPECT_EQ(cli({"history", "--result", "fine"}).exitCode, 64);
  EXPECT_EQ(cli({"history", "--records", records()}).exitCode, 2);  // named, and missing
}

}  // namespace
