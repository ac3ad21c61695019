// What several lines did: one entry per upload (a line and its address, or
// a line and every address on it when the resets reach every device), as a
// table for a person or as one JSON object for a program.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct UploadEntry {
  std::string line;            // "sim:2", "artnet:10.0.0.5:1"
  std::vector<int> addresses;  // the fixtures this upload is for
  std::string result;          // done, not verified, failed, refused, stopped, skipped
  std::int32_t bytes = 0;      // image bytes whose frames went out in full
  std::int32_t total = 0;      // image size
  double seconds = 0;          // from the start of the upload to its end
  std::string reason;          // why it did not end done (or what the device said)
  std::string capture;         // the line's capture file, if any
};

struct FleetSummary {
  std::string file;
  std::string sha256;  // empty when not known
  std::string profile;
  bool fast = false;
  bool resetsToEveryDevice = false;  // v1.2: one upload per line reaches every fixture of the model
  int exitStatus = 0;
  std::vector<UploadEntry> uploads;
};

// The table: line, address, result, bytes, time, reason; fits `columns`.
void printFleetTable(std::FILE* out, const FleetSummary& summary, int columns);
// The same as one JSON object.
std::string fleetJson(const FleetSummary& summary);
