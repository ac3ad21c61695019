// What several lines did: one entry per upload (a line and its address, or
// a line and every address on it when the resets reach every device), as a
// table for a person or as one JSON object for a program.
#pragma once

#include <cstdint>
#include <cstdio>
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

// The table: line, address, result, bytes, time, reason; fits `columns`.
void printFleetTable(std::FILE* out, const FleetSummary& summary, int columns);
// With --read-back: a row per fixture read back, with its line, address,
// version before -> after and whether the new version was confirmed.
void printReadBackTable(std::FILE* out, const std::vector<LineReadBack>& lines, int columns);
// The version of the JSON report's layout (docs/report.schema.json).
inline constexpr int kReportFormat = 3;
// The same as one JSON object.
std::string fleetJson(const FleetSummary& summary);
