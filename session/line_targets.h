// The lines of an upload or a listing: each --adapter in order, then each
// line of --lines FILE. "ftdi:all" and "d2xx:all" become a line for every
// adapter connected, "ftdi:SERIAL" the adapter with that serial, "sim:N"
// N simulated lines.
#pragma once

#include <string>
#include <vector>

#include "drivers/registry.h"

struct LineTarget {
  std::string label;    // names the line in the view and the report: "sim:2", "ftdi:A1B2C3"
  std::string adapter;  // the adapter argument it is made from: "sim", "artnet:10.0.0.5:1"
  std::string serial;   // the adapter to open, by serial number; empty: the first listed
};

// The lines a person names: each --adapter, then each line of --lines FILE.
struct LineRequest {
  std::vector<std::string> adapters;  // adapter arguments, in order
  std::string linesFile;              // "": none
  DriverSettings driverSettings;      // for listing the adapters of ":all"
};

// Why the lines could not be made.
enum class LineProblem : std::uint8_t {
  none,
  usage,          // an argument is unusable
  linesFile,      // the lines file cannot be read
  listingFailed,  // a ":all" listing failed or found nothing
};

// Every line the request names, or the platform's default adapter when it
// names none. Otherwise the problem, with `error` saying it.
LineProblem lineTargets(const LineRequest& request, std::vector<LineTarget>& lines,
                        std::string& error);
