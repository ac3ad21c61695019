// Reading back the fixtures of several lines at once: each line's RDM
// conversation (before the upload, and again after it) on a thread of its
// own, so that a rig of many universes is read in the time of its slowest
// line, not the sum of them. Each line tells its own observer.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "session/read_back.h"

struct LineReadBack {
  std::string label;        // the line's label, as the rest of the run names it
  ReadBackRequest request;  // its adapter argument, profile, addresses
  ReadBack readBack;
  ReadBackStatus status = ReadBackStatus::go;  // of the last step run
};

// The observer of line `index`; it lives as long as the step runs.
using LineObservers = std::function<ReadBackObserver&(std::size_t index)>;

// Runs readBackBefore, or readBackAfter, for every line at once and
// returns when each has ended (a stop ends each within its wait slices).
void readBackLinesBefore(std::vector<LineReadBack>& lines, const LineObservers& observers,
                         const ReadBackTuning& tuning = {});
void readBackLinesAfter(std::vector<LineReadBack>& lines, const LineObservers& observers,
                        const ReadBackTuning& tuning = {});

// The exit status the read-back of these lines comes to, from each line's
// last step: a stop first, then a usage error, a line not reached, a
// fixture not confirmed (exitReadBack); exitDone when every line went well.
int readBackExit(const std::vector<LineReadBack>& lines);
