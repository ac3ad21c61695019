// Uploading to several lines at once: each line (an adapter, a node's
// universe, a simulated line) on a thread of its own for opening and
// closing, the frames of every line whose adapter never blocks paced by one
// timing thread, and each line whose adapter may block (USB, serial) paced
// by one of its own, so that no line can hold another up. A line that fails
// stops alone; Ctrl-C stops them all after the send in progress.
#pragma once

#include <memory>
#include <vector>

#include "cli/fleet_report.h"
#include "cli/line_targets.h"
#include "cli/options.h"
#include "engine/adapter.h"

// A line with its adapter made.
struct FleetLine {
  LineTarget target;
  std::unique_ptr<Adapter> adapter;
};

// Runs the upload of options.file on every line, showing their progress,
// and returns what each upload did (with the exit status it comes to).
FleetSummary runLines(const Options& options, std::vector<FleetLine>& lines);

// Makes every line's adapter (a line that cannot be made is a usage error),
// runs them, prints the table or the JSON report; returns the exit status.
int runFleet(const Options& options, const std::vector<LineTarget>& lines);
