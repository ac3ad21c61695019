// history and inventory: the questions a service team asks of the records.
#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include "records/statement.h"
#include "records/store.h"

namespace records {

namespace {

bool isSha256(const std::string& text) {
  return text.size() == 64 && std::all_of(text.begin(), text.end(),
                                          [](unsigned char c) { return std::isxdigit(c) != 0; });
}

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

constexpr const char* kUploadColumns =
    "SELECT id, run, started_at, ended_at, host, user, image_name, image_path, image_size, "
    "image_sha256, profile, fast, driver, line, serial, node, port_address, universe, "
    "addresses, result, reason, bytes_delivered, frames_sent, exit_status FROM uploads";

HistoryRow historyRow(const Statement& st) {
  HistoryRow row;
  row.id = st.integer(0);
  UploadStart& s = row.start;
  s.run = st.text(1);
  s.startedAt = st.text(2);
  row.finished = !st.isNull(3);
  s.host = st.text(4);
  s.user = st.text(5);
  s.imageName = st.text(6);
  s.imagePath = st.text(7);
  s.imageSize = st.integer(8);
  s.imageSha256 = st.text(9);
  s.profile = st.text(10);
  s.fast = st.integer(11) != 0;
  s.driver = st.text(12);
  s.line = st.text(13);
  s.serial = st.text(14);
  s.node = st.text(15);
  s.portAddress = st.maybe(16);
  s.universe = st.maybe(17);
  s.addresses = st.text(18);
  if (row.finished) {
    row.end.endedAt = st.text(3);
    row.end.result = st.text(19);
    row.end.reason = st.text(20);
    row.end.bytes = st.integer(21);
    row.end.frames = st.integer(22);
  }
  row.exitStatus = st.maybe(23);
  return row;
}

}  // namespace

bool Store::history(const HistoryFilter& f, std::vector<HistoryRow>& rows, std::string& why) {
  std::string sql = std::string(kUploadColumns) + " WHERE 1";
  std::vector<std::string> values;
  if (!f.since.empty()) {
    sql += " AND started_at >= ?";
    values.push_back(f.since);
  }
  if (!f.image.empty()) {
    if (isSha256(f.image)) {
      sql += " AND image_sha256 = ?";
      values.push_back(lower(f.image));
    } else if (f.image.find_first_of("/\\") != std::string::npos) {
      sql += " AND image_path = ?";
      values.push_back(f.image);
    } else {
      sql += " AND image_name = ?";
      values.push_back(f.image);
    }
  }
  if (!f.adapter.empty()) {
    // "artnet:10.0.0.5" takes every universe of that node, "ftdi" every FTDI line.
    sql += " AND (line = ? OR driver = ? OR serial = ? OR node = ? OR (line > ? AND line < ?))";
    values.insert(values.end(),
                  {f.adapter, f.adapter, f.adapter, f.adapter, f.adapter + ":", f.adapter + ";"});
  }
  if (f.result == "unfinished") {
    sql += " AND ended_at IS NULL";
  } else if (!f.result.empty()) {
    sql += " AND result = ?";
    values.push_back(f.result);
  }
  sql += " ORDER BY started_at DESC, id DESC";
  if (f.limit > 0) sql += " LIMIT " + std::to_string(f.limit);

  std::lock_guard<std::mutex> lock(mutex_);
  Statement st(db_, sql.c_str());
  for (std::size_t i = 0; i < values.size(); ++i) st.bind(static_cast<int>(i + 1), values[i]);
  rows.clear();
  while (st.step()) rows.push_back(historyRow(st));
  if (st.ok()) return true;
  why = st.error();
  return false;
}

bool Store::inventory(std::vector<InventoryRow>& rows, std::string& why) {
  std::lock_guard<std::mutex> lock(mutex_);
  Statement st(db_,
               // A read-back asks no labels: the fixture's last ones stand in.
               "SELECT r.read_at, r.uid, r.manufacturer_id, r.model_id, "
               "coalesce(r.manufacturer_label, (SELECT manufacturer_label FROM readings l WHERE "
               "l.uid = r.uid AND l.manufacturer_label IS NOT NULL ORDER BY l.read_at DESC LIMIT "
               "1)), coalesce(r.model_label, (SELECT model_label FROM readings l WHERE l.uid = "
               "r.uid AND l.model_label IS NOT NULL ORDER BY l.read_at DESC LIMIT 1)), "
               "r.start_address, r.software_version, r.software_label, r.line, "
               "r.occasion, r.upload_id FROM fixtures f JOIN readings r ON r.id = f.reading_id "
               "ORDER BY r.manufacturer_id, r.model_id, r.uid");
  rows.clear();
  while (st.step()) {
    InventoryRow row;
    FixtureReading& r = row.last;
    r.readAt = st.text(0);
    r.uid = st.text(1);
    r.manufacturerId = st.integer(2);
    r.modelId = st.integer(3);
    r.manufacturerLabel = st.text(4);
    r.modelLabel = st.text(5);
    r.startAddress = st.maybe(6);
    r.softwareVersion = st.integer(7);
    r.softwareLabel = st.text(8);
    r.line = st.text(9);
    r.occasion = st.text(10);
    r.upload = st.maybe(11);
    rows.push_back(std::move(row));
  }
  if (!st.ok()) {
    why = st.error();
    return false;
  }
  // The fixtures of one model on different versions: the odd ones out.
  std::map<std::pair<std::int64_t, std::int64_t>, std::set<std::int64_t>> versions;
  for (const InventoryRow& row : rows)
    versions[{row.last.manufacturerId, row.last.modelId}].insert(row.last.softwareVersion);
  for (InventoryRow& row : rows) {
    const std::set<std::int64_t>& v = versions[{row.last.manufacturerId, row.last.modelId}];
    row.versionsOfModel = static_cast<int>(v.size());
    row.behindOfModel = row.last.softwareVersion < *v.rbegin();
  }
  return true;
}

}  // namespace records
