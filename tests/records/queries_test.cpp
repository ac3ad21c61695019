// history and inventory: every filter picks what it names and nothing else,
// an upload never finished shows as unfinished, and each fixture's last
// reading marks the fixtures of a model that run different versions.
#include <gtest/gtest.h>

#include <set>

#include "records/store.h"
#include "tests/records/records_test_support.h"

namespace {

class Queries : public ::testing::Test {
 protected:
  void SetUp() override {
    store = openStore((folder / "records.sqlite").string());
    ASSERT_NE(store, nullptr);
  }

  std::int64_t upload(records::UploadStart s, const char* result) {
    std::int64_t id = 0;
    std::string why;
    EXPECT_TRUE(store->beginUpload(s, id, why)) << why;
    if (result != nullptr) {
      EXPECT_TRUE(store->endUpload(id, endedAs(result), why)) << why;
    }
    return id;
  }

  // The ids history gives for the filter `fields` (since, image, adapter, result; "": any).
  std::set<std::int64_t> history(std::vector<std::string> fields) {
    fields.resize(4);
    records::HistoryFilter filter;
    filter.since = fields[0];
    filter.image = fields[1];
    filter.adapter = fields[2];
    filter.result = fields[3];
    std::vector<records::HistoryRow> rows;
    std::string why;
    EXPECT_TRUE(store->history(filter, rows, why)) << why;
    std::set<std::int64_t> ids;
    for (const auto& r : rows) ids.insert(r.id);
    return ids;
  }

  void reading(const std::string& uid, std::int64_t model, std::int64_t version,
               const std::string& at, const std::string& modelLabel = "") {
    records::FixtureReading r;
    r.modelLabel = modelLabel;
    r.readAt = at;
    r.uid = uid;
    r.manufacturerId = 0x29A9;
    r.modelId = model;
    r.softwareVersion = version;
    r.line = "artnet:10.0.0.5";
    r.occasion = "fixtures";
    std::string why;
    EXPECT_TRUE(store->addReading(r, why)) << why;
  }

  TempFolder folder{"uploader-records-queries"};
  std::unique_ptr<records::Store> store;
};

TEST_F(Queries, AnUploadNeverEndedIsUnfinishedNeverDone) {
  const std::int64_t cut = upload(uploadOn("sim", "2026-12-07T10:00:00.000Z"), nullptr);
  const std::int64_t done = upload(uploadOn("sim", "2026-12-07T11:00:00.000Z"), "done");
  std::vector<records::HistoryRow> rows;
  std::string why;
  ASSERT_TRUE(store->history(records::HistoryFilter(), rows, why));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].id, done);  // newest first
  EXPECT_TRUE(rows[0].finished);
  EXPECT_EQ(rows[1].id, cut);
  EXPECT_FALSE(rows[1].finished);
  EXPECT_EQ(history({"", "", "", "unfinished"}), std::set<std::int64_t>{cut});
  EXPECT_EQ(history({"", "", "", "done"}), std::set<std::int64_t>{done});
}

TEST_F(Queries, EachFilterPicksWhatItNames) {
  const std::string other(64, 'b');
  records::UploadStart art = uploadOn("artnet:10.0.0.5:0:0:1", "2026-12-01T09:00:00.000Z");
  art.node = "10.0.0.5";
  const std::int64_t a = upload(art, "done");
  records::UploadStart art2 = uploadOn("artnet:10.0.0.5:0:0:2", "2026-12-02T09:00:00.000Z");
  art2.node = "10.0.0.5";
  const std::int64_t a2 = upload(art2, "failed");
  records::UploadStart usb = uploadOn("ftdi:A1B2C3", "2026-12-03T09:00:00.000Z", other);
  usb.serial = "A1B2C3";
  usb.imageName = "next.bin";
  usb.imagePath = "/fw/next.bin";
  const std::int64_t f = upload(usb, "done");
  const std::int64_t s = upload(uploadOn("sim", "2026-12-04T09:00:00.000Z"), "not verified");

  EXPECT_EQ(history({"2026-12-02T09:00:00.000Z"}), (std::set<std::int64_t>{a2, f, s}));
  EXPECT_EQ(history({"", other}), std::set<std::int64_t>{f});
  EXPECT_EQ(history({"", std::string(64, 'B')}), std::set<std::int64_t>{f});
  EXPECT_EQ(history({"", "next.bin"}), std::set<std::int64_t>{f});
  EXPECT_EQ(history({"", "/fw/next.bin"}), std::set<std::int64_t>{f});
  EXPECT_EQ(history({"", "fw.bin"}), (std::set<std::int64_t>{a, a2, s}));
  EXPECT_EQ(history({"", "", "artnet:10.0.0.5:0:0:1"}), std::set<std::int64_t>{a});
  EXPECT_EQ(history({"", "", "artnet:10.0.0.5"}), (std::set<std::int64_t>{a, a2}));
  EXPECT_EQ(history({"", "", "10.0.0.5"}), (std::set<std::int64_t>{a, a2}));
  EXPECT_EQ(history({"", "", "artnet:10.0.0.50"}), std::set<std::int64_t>{});
  EXPECT_EQ(history({"", "", "ftdi"}), std::set<std::int64_t>{f});
  EXPECT_EQ(history({"", "", "A1B2C3"}), std::set<std::int64_t>{f});
  EXPECT_EQ(history({"", "", "", "not verified"}), std::set<std::int64_t>{s});
  EXPECT_EQ(history({"2026-12-02T00:00:00.000Z", "", "artnet", "done"}), std::set<std::int64_t>{});
}

TEST_F(Queries, TheExitStatusIsKeptWithItsUpload) {
  const std::int64_t id = upload(uploadOn("sim", "2026-12-07T10:00:00.000Z"), "done");
  std::string why;
  ASSERT_TRUE(store->setExitStatus(id, 74, why)) << why;
  std::vector<records::HistoryRow> rows;
  ASSERT_TRUE(store->history(records::HistoryFilter(), rows, why));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].exitStatus, 74);
  EXPECT_EQ(rows[0].end.frames, 700);
  EXPECT_EQ(rows[0].end.bytes, 4096);
}

TEST_F(Queries, InventoryKeepsEachFixturesLastReadingAndMarksTheOddOnes) {
  reading("29A9:00000001", 0x0101, 0x00010000, "2026-12-01T10:00:00.000Z", "Spot 300");
  reading("29A9:00000001", 0x0101, 0x00020000, "2026-12-05T10:00:00.000Z");
  // Taken earlier, written later (a slower process): it does not replace the last one.
  reading("29A9:00000001", 0x0101, 0x00010000, "2026-12-03T10:00:00.000Z");
  reading("29A9:00000002", 0x0101, 0x00010000, "2026-12-05T10:00:00.000Z");
  reading("29A9:00000003", 0x0202, 0x00010000, "2026-12-05T10:00:00.000Z");
  std::vector<records::InventoryRow> rows;
  std::string why;
  ASSERT_TRUE(store->inventory(rows, why)) << why;
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].last.uid, "29A9:00000001");
  EXPECT_EQ(rows[0].last.softwareVersion, 0x00020000);
  EXPECT_EQ(rows[0].last.modelLabel, "Spot 300");  // from a reading that asked for it
  EXPECT_EQ(rows[0].versionsOfModel, 2);
  EXPECT_FALSE(rows[0].behindOfModel);
  EXPECT_EQ(rows[1].last.uid, "29A9:00000002");
  EXPECT_EQ(rows[1].versionsOfModel, 2);
  EXPECT_TRUE(rows[1].behindOfModel);
  EXPECT_EQ(rows[2].versionsOfModel, 1);
  EXPECT_FALSE(rows[2].behindOfModel);
}

}  // namespace
