// What several lines did: one entry per upload (a line and its address, or
// a line and every address on it when the resets reach every device), as a
// table for a person or as one JSON object for a program.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "session/events.h"

struct FleetSummary {
  std::string file;
  std::string sha256;  // empty when not known
  std::string profile;
  bool fast = false;
  bool resetsToEveryDevice = false;  // v1.2: one upload per line reaches every fixture of the model
  int exitStatus = 0;
  std::vector<UploadReport> uploads;
  const struct ReadBack* readBack = nullptr;  // --read-back: the fixtures before and after
  std::string refusal;  // why nothing was tried (no uploads then); empty when the uploads ran
};

// The table: line, address, result, bytes, time, reason; fits `columns`.
void printFleetTable(std::FILE* out, const FleetSummary& summary, int columns);
// The version of the JSON report's layout (docs/report.schema.json).
inline constexpr int kReportFormat = 2;
// The same as one JSON object.
std::string fleetJson(const FleetSummary& summary);
