#include "cli/records_output.h"

#include <cstdio>

#include "files/shown_text.h"
#include "records/records_json.h"

namespace {

std::string resultOf(const records::HistoryRow& r) {
  return r.finished ? r.end.result : "unfinished";
}

std::string csvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string q = "\"";
  for (char c : text) {
    if (c == '"') q += '"';
    q += c;
  }
  return q + "\"";
}

std::string csvLine(const std::vector<std::string>& fields) {
  std::string line;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) line += ',';
    line += csvField(fields[i]);
  }
  line += "\r\n";
  return line;
}

// A table whose columns are as wide as their widest cell; the last column runs on.
std::string table(const std::vector<std::vector<std::string>>& rows) {
  std::vector<std::size_t> width;
  for (const auto& row : rows)
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (width.size() <= i) width.push_back(0);
      width[i] = std::max(width[i], row[i].size());
    }
  std::string text;
  for (const auto& row : rows) {
    std::string line;
    for (std::size_t i = 0; i < row.size(); ++i) {
      line += row[i];
      if (i + 1 < row.size()) line += std::string(width[i] - row[i].size() + 2, ' ');
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    text += line + "\n";
  }
  return text;
}

std::string orDash(const std::string& text) { return text.empty() ? "-" : files::shown(text); }

std::string number(const std::optional<std::int64_t>& n) {
  return n ? std::to_string(*n) : std::string("-");
}

// "2026-12-07T18:55:08.123Z" as "2026-12-07 18:55:08Z".
std::string shortTime(const std::string& utc) {
  if (utc.size() < 19) return utc;
  std::string t = utc.substr(0, 19);
  t[10] = ' ';
  return t + "Z";
}

}  // namespace

std::string versionHex(long long version) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08llX", version);
  return text;
}

std::string historyText(const std::vector<records::HistoryRow>& rows, RecordsFormat format,
                        const std::string& path) {
  if (format == RecordsFormat::json) {
    return records::historyJson(rows, path);
  }
  if (format == RecordsFormat::csv) {
    std::string text = csvLine({"id",           "run",
                                "started_at",   "ended_at",
                                "host",         "user",
                                "image_name",   "image_path",
                                "image_size",   "image_sha256",
                                "profile",      "fast",
                                "driver",       "line",
                                "serial",       "node",
                                "port_address", "universe",
                                "addresses",    "result",
                                "reason",       "bytes_delivered",
                                "frames_sent",  "exit_status"});
    for (const auto& r : rows) {
      const records::UploadStart& s = r.start;
      const auto opt = [](const std::optional<std::int64_t>& n) {
        return n ? std::to_string(*n) : std::string();
      };
      text += csvLine({std::to_string(r.id),
                       s.run,
                       s.startedAt,
                       r.finished ? r.end.endedAt : "",
                       s.host,
                       s.user,
                       s.imageName,
                       s.imagePath,
                       std::to_string(s.imageSize),
                       s.imageSha256,
                       s.profile,
                       s.fast ? "1" : "0",
                       s.driver,
                       s.line,
                       s.serial,
                       s.node,
                       opt(s.portAddress),
                       opt(s.universe),
                       s.addresses,
                       resultOf(r),
                       r.finished ? r.end.reason : "",
                       r.finished ? std::to_string(r.end.bytes) : "",
                       r.finished ? std::to_string(r.end.frames) : "",
                       opt(r.exitStatus)});
    }
    return text;
  }
  std::vector<std::vector<std::string>> cells{{"STARTED (UTC)", "IMAGE", "SHA-256", "PROFILE",
                                               "LINE", "ADDRESS", "RESULT", "BYTES", "EXIT",
                                               "REASON"}};
  for (const auto& r : rows) {
    const records::UploadStart& s = r.start;
    cells.push_back({shortTime(s.startedAt), orDash(s.imageName), s.imageSha256.substr(0, 12),
                     s.profile + (s.fast ? " fast" : ""), orDash(s.line), s.addresses, resultOf(r),
                     r.finished ? std::to_string(r.end.bytes) : "-", number(r.exitStatus),
                     r.finished ? orDash(r.end.reason) : "-"});
  }
  return table(cells);
}

std::string inventoryText(const std::vector<records::InventoryRow>& rows, RecordsFormat format,
                          const std::string& path) {
  if (format == RecordsFormat::json) {
    return records::inventoryJson(rows, path);
  }
  if (format == RecordsFormat::csv) {
    std::string text =
        csvLine({"uid", "manufacturer_id", "model_id", "manufacturer", "model", "start_address",
                 "software_version", "software_label", "line", "read_at", "occasion",
                 "versions_of_model", "older_than_others_of_model"});
    for (const auto& row : rows) {
      const records::FixtureReading& r = row.last;
      text += csvLine({r.uid, std::to_string(r.manufacturerId), std::to_string(r.modelId),
                       r.manufacturerLabel, r.modelLabel,
                       r.startAddress ? std::to_string(*r.startAddress) : "",
                       versionHex(r.softwareVersion), r.softwareLabel, r.line, r.readAt, r.occasion,
                       std::to_string(row.versionsOfModel), row.behindOfModel ? "1" : "0"});
    }
    return text;
  }
  std::vector<std::vector<std::string>> cells{
      {"UID", "MODEL", "VERSION", "LABEL", "ADDRESS", "LINE", "READ (UTC)", "NOTE"}};
  bool mixed = false;
  for (const auto& row : rows) {
    const records::FixtureReading& r = row.last;
    char model[16];
    std::snprintf(model, sizeof model, "%04llX", static_cast<long long>(r.modelId));
    std::string note;
    if (row.versionsOfModel > 1) {
      mixed = true;
      // Appended piece by piece: GCC 12's -Wrestrict misreads "literal" + string at -O3.
      note = row.behindOfModel ? "* older than others of its model" : "* model on ";
      if (!row.behindOfModel) note.append(std::to_string(row.versionsOfModel)).append(" versions");
    }
    std::string modelText(model);
    if (!r.modelLabel.empty()) modelText.append(" ").append(files::shown(r.modelLabel));
    cells.push_back({r.uid, modelText, versionHex(r.softwareVersion), orDash(r.softwareLabel),
                     r.startAddress ? std::to_string(*r.startAddress) : "none",
                     files::shown(r.line), shortTime(r.readAt), note});
  }
  std::string text = table(cells);
  if (mixed)
    text += "* fixtures of one model run different versions: those marked older missed an upload\n";
  return text;
}
