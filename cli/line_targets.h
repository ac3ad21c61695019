// The lines of an upload or a listing: each --adapter in order, then each
// line of --lines FILE. "ftdi:all" and "d2xx:all" become a line for every
// adapter connected, "ftdi:SERIAL" the adapter with that serial, "sim:N"
// N simulated lines.
#pragma once

#include <string>
#include <vector>

#include "cli/options.h"

struct LineTarget {
  std::string label;    // names the line in the view and the report: "sim:2", "ftdi:A1B2C3"
  std::string adapter;  // the adapter argument it is made from: "sim", "artnet:10.0.0.5:1"
  std::string serial;   // the adapter to open, by serial number; empty: the first listed
};

// Every line the options name, or the platform's default adapter when they
// name none. False with `error` and the exit status to end with when an
// argument is unusable (usage), the lines file cannot be read (file
// refused), or a ":all" listing fails or finds nothing (line failure).
bool lineTargets(const Options& options, std::vector<LineTarget>& lines, std::string& error,
                 int& status);
