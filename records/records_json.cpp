#include "records/records_json.h"

#include <cstdio>

#include "records/json_text.h"

namespace records {

namespace {

std::string hex(std::int64_t version) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08llX", static_cast<long long>(version));
  return text;
}

std::string resultOf(const HistoryRow& r) { return r.finished ? r.end.result : "unfinished"; }

void historyRow(std::string& out, const HistoryRow& r) {
  const UploadStart& s = r.start;
  JsonObject o(out, 4);
  o.number("id", r.id);
  o.text("run", s.run);
  o.text("startedAt", s.startedAt);
  o.textOrNull("endedAt", r.finished ? r.end.endedAt : "");
  o.text("host", s.host);
  o.text("user", s.user);
  o.raw("image");
  JsonObject image(out, 6);
  image.text("name", s.imageName);
  image.text("path", s.imagePath);
  image.number("size", s.imageSize);
  image.text("sha256", s.imageSha256);
  image.close();
  o.text("profile", s.profile);
  o.boolean("fast", s.fast);
  o.raw("line");
  JsonObject line(out, 6);
  line.text("label", s.line);
  line.text("driver", s.driver);
  line.textOrNull("serial", s.serial);
  line.textOrNull("node", s.node);
  line.number("portAddress", s.portAddress);
  line.number("universe", s.universe);
  line.close();
  o.text("addresses", s.addresses);
  o.text("result", resultOf(r));
  o.textOrNull("reason", r.finished ? r.end.reason : "");
  o.number("bytesDelivered", r.finished ? std::optional<std::int64_t>(r.end.bytes) : std::nullopt);
  o.number("framesSent", r.finished ? std::optional<std::int64_t>(r.end.frames) : std::nullopt);
  o.number("exitStatus", r.exitStatus);
  o.close();
}

void inventoryRow(std::string& out, const InventoryRow& row) {
  const FixtureReading& r = row.last;
  JsonObject o(out, 4);
  o.text("uid", r.uid);
  o.number("manufacturerId", r.manufacturerId);
  o.number("modelId", r.modelId);
  o.textOrNull("manufacturer", r.manufacturerLabel);
  o.textOrNull("model", r.modelLabel);
  o.number("startAddress", r.startAddress);
  o.number("softwareVersion", r.softwareVersion);
  o.text("softwareVersionHex", hex(r.softwareVersion));
  o.textOrNull("softwareLabel", r.softwareLabel);
  o.text("line", r.line);
  o.text("readAt", r.readAt);
  o.text("occasion", r.occasion);
  o.number("versionsOfModel", std::int64_t{row.versionsOfModel});
  o.boolean("olderThanOthersOfModel", row.behindOfModel);
  o.close();
}

// {"format": 1, "records": PATH, "NAME": [rows]}
template <typename Row>
std::string document(const std::string& path, const char* name, const std::vector<Row>& rows,
                     void (*write)(std::string&, const Row&)) {
  std::string out;
  out.reserve(rows.size() * 700 + 100);
  out += "{\n  \"format\": " + std::to_string(kJsonFormat) + ",\n  \"records\": ";
  appendJsonString(out, path);
  out += ",\n  \"";
  out += name;
  out += "\": [";
  for (std::size_t i = 0; i < rows.size(); ++i) {
    out += i == 0 ? "\n    " : ",\n    ";
    write(out, rows[i]);
  }
  out += rows.empty() ? "]\n}\n" : "\n  ]\n}\n";
  return out;
}

}  // namespace

std::string historyJson(const std::vector<HistoryRow>& rows, const std::string& path) {
  return document(path, "uploads", rows, historyRow);
}

std::string inventoryJson(const std::vector<InventoryRow>& rows, const std::string& path) {
  return document(path, "fixtures", rows, inventoryRow);
}

}  // namespace records
