// What a run of uploads did, for a program: one JSON object (the --json
// report and the console's GET /api/uploads/{id}), whose every field is
// documented in docs/report.md and docs/report.schema.json.
#pragma once

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

// The exit status one upload comes to (session/exit_codes.h).
int exitFor(Outcome outcome);
// The exit status of several uploads: a stop first, then refusals (when
// nothing at all was sent), failures, an unverified image, a capture lost.
int exitForAll(const std::vector<UploadReport>& uploads);

// The version of the JSON report's layout (docs/report.schema.json).
inline constexpr int kReportFormat = 2;
// The summary as one JSON object, indented, ending with a line break.
std::string fleetJson(const FleetSummary& summary);
