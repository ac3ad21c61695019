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
#include "cli/image_checks.h"
#include "cli/line_targets.h"
#include "cli/options.h"
#include "cli/record_log.h"
#include "engine/adapter.h"

// A line with its adapter made.
struct FleetLine {
  LineTarget target;
  std::unique_ptr<Adapter> adapter;
};

// Runs the upload of options.file on every line, showing their progress,
// and returns what each upload did (with the exit status it comes to). The
// log, labelled per line, goes to `log` (standard output when null).
FleetSummary runLines(const Options& options, std::vector<FleetLine>& lines,
                      LogSink* log = nullptr);

// Makes every line's adapter before anything is sent; false (the reason
// shown) when one cannot be made: a usage error.
bool makeFleetLines(const Options& options, const std::vector<LineTarget>& targets,
                    std::vector<FleetLine>& lines);

// Runs the lines, prints the table or the JSON report, and closes the
// record with a result line per upload; returns the exit status.
int runFleet(const Options& options, std::vector<FleetLine>& lines, RecordLog& record,
             const ImageFacts& image);
