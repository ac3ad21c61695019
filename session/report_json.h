// What a run of uploads did, for a program: one JSON object (the --json
// report and the console's GET /api/uploads/{id}), whose every field is
// documented in docs/report.md and docs/report.schema.json.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "session/events.h"

struct LineReadBack;

// A line as a dry run plans it: what it reaches and what it would carry.
struct PlannedLine {
  std::string label;
  std::vector<int> addresses;
  std::string reaches;     // what the listing found ("SIM00001", "10.0.0.5 Node"); empty: nothing
  std::string problem;     // why the line cannot be used; empty when it can
  std::string receives;    // "every fixture of ours on the line", "the fixture at address 7"
  std::size_t frames = 0;  // data frames of each upload
  double nominalSeconds = 0;  // every upload of the line, one after another, at the protocol's pace
  bool canReadBack = false;   // the line reads fixtures back over RDM
  std::string modelCheck;     // --model: "passed", "failed", "not checked"; empty without it
  std::string stagger;  // the line's node and how its lines share it; empty: a line of its own
};

struct FleetSummary {
  std::string file;
  std::string sha256;  // empty when not known
  std::string profile;
  bool fast = false;
  bool resetsToEveryDevice = false;  // v1.2: one upload per line reaches every fixture of the model
  int exitStatus = 0;
  std::vector<UploadReport> uploads;
  // --read-back or --model: each line's fixtures, before (and after) the upload
  const std::vector<LineReadBack>* readBack = nullptr;
  bool dryRun = false;
  std::vector<PlannedLine> plan;  // with dryRun: every line, and no uploads
  double plannedSeconds = 0;      // with dryRun: the whole run, lines side by side
  std::string refusal;  // why nothing was tried (no uploads then); empty when the uploads ran
};

// The exit status one upload comes to (session/exit_codes.h).
int exitFor(Outcome outcome);
// The exit status of several uploads: a stop first, then refusals (when
// nothing at all was sent), failures, an unverified image, a capture lost.
int exitForAll(const std::vector<UploadReport>& uploads);

// The version of the JSON report's layout (docs/report.schema.json).
inline constexpr int kReportFormat = 3;
// The same as one JSON object.
std::string fleetJson(const FleetSummary& summary);
