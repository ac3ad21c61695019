// What several lines did: one entry per upload (a line and its address, or
// a line and every address on it when the resets reach every device), as a
// table for a person; the JSON object is the session's (session/report_json.h).
#pragma once

#include <cstdio>
#include <vector>

#include "session/report_json.h"

// The table: line, address, result, bytes, time, reason; fits `columns`.
void printFleetTable(std::FILE* out, const FleetSummary& summary, int columns);
// With --read-back: a row per fixture read back, with its line, address,
// version before -> after and whether the new version was confirmed.
void printReadBackTable(std::FILE* out, const std::vector<LineReadBack>& lines, int columns);
