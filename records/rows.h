// The rows the records hold and give back: an upload, a reading of a
// fixture, and what history and inventory answer. Times are UTC text,
// "2026-12-07T18:55:08.123Z", so that they sort as they read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace records {

// An upload as it starts; its row stays unfinished until endUpload().
struct UploadStart {
  std::string run;  // the uploads of one command share it
  std::string startedAt;
  std::string host;
  std::string user;
  std::string imageName;  // the file's name without its folder
  std::string imagePath;  // as given
  std::int64_t imageSize = 0;
  std::string imageSha256;
  std::string profile;
  bool fast = false;
  std::string driver;                       // "sim", "ftdi", "artnet", ...
  std::string line;                         // the line's label: "sim#2", "artnet:10.0.0.5:0:0:1"
  std::string serial;                       // "": none
  std::string node;                         // a network node's host; "": none
  std::optional<std::int64_t> portAddress;  // Art-Net
  std::optional<std::int64_t> universe;     // sACN
  std::string addresses;                    // "1,5,9-12"
};

// How it ended.
struct UploadEnd {
  std::string endedAt;
  std::string result;  // "done", "not verified", "failed", "refused", "stopped", "skipped"
  std::string reason;  // "": none
  std::int64_t bytes = 0;
  std::int64_t frames = 0;
};

// What one fixture said of itself over RDM.
struct FixtureReading {
  std::string readAt;
  std::string uid;  // "29A9:00000001"
  std::int64_t manufacturerId = 0;
  std::int64_t modelId = 0;
  std::string manufacturerLabel;             // "": not asked or not answered
  std::string modelLabel;                    // "": not asked or not answered
  std::optional<std::int64_t> startAddress;  // none: the fixture takes no DMX512 slots
  std::int64_t softwareVersion = 0;
  std::string softwareLabel;
  std::string line;                    // the adapter argument it was read through
  std::string occasion;                // "fixtures", "before upload", "after upload"
  std::optional<std::int64_t> upload;  // the upload it was read for
};

struct HistoryFilter {
  std::string since;      // UTC text; "": from the first
  std::string image;      // a SHA-256 (64 hex digits) or the image's name or path; "": any
  std::string adapter;    // the line's label, its driver, serial or node, or a prefix up to ':'
  std::string result;     // a result word, or "unfinished"; "": any
  std::size_t limit = 0;  // the newest this many; 0: every one
};

struct HistoryRow {
  std::int64_t id = 0;
  UploadStart start;
  bool finished = false;  // false: cut off (a crash, a power loss) or still running
  UploadEnd end;          // when finished
  std::optional<std::int64_t> exitStatus;
};

struct InventoryRow {
  FixtureReading last;         // its last reading
  int versionsOfModel = 1;     // how many versions the fixtures of its model run
  bool behindOfModel = false;  // an older version than another fixture of its model runs
};

}  // namespace records
