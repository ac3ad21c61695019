// The lines of an upload or a listing: each --adapter in order, then each
// line of --lines FILE. "artnet:HOST:all" becomes a line for every output
// port the node lists; "ftdi:all" and "d2xx:all" a line for every
// adapter connected, "ftdi:SERIAL" the adapter with that serial, "sim:N"
// N simulated lines.
#pragma once

#include <string>
#include <vector>

#include "drivers/registry.h"

struct LineTarget {
  std::string label;      // names the line, unique in a session: "sim:2", "ftdi:A1B2C3", "sim#2"
  std::string adapter;    // the adapter argument it is made from: "sim:2", "artnet:10.0.0.5:1"
  std::string serial;     // the adapter to open, by serial number; empty: the first listed
  std::string origin;     // where the person named it: "--adapter sim:4", "--lines rig.txt line 3"
  bool fromForm = false;  // made by a form that names several (sim:N, ftdi:all) or a serial
};

// The most lines one session runs: each has a thread of its own and its
// share of the timing thread. More are refused before anything is sent.
inline constexpr std::size_t kMaxLines = 1024;

// The lines a person names: each --adapter, then each line of --lines FILE.
struct LineRequest {
  std::vector<std::string> adapters;  // adapter arguments, in order
  std::string linesFile;              // "": none
  DriverSettings driverSettings;      // for listing the adapters of ":all"
};

// Why the lines could not be made.
enum class LineProblem : std::uint8_t {
  none,
  usage,          // an argument is unusable, a line is named twice, or too many lines
  linesFile,      // the lines file cannot be read
  listingFailed,  // a ":all" listing failed or found nothing
};

// Every line the request names, or the platform's default adapter when it
// names none, each with a label of its own (a simulated line named again is
// another line: "sim", "sim#2"; each simulated line lists a serial of its
// own). A line named twice (the same node's universe, the same adapter) is
// refused, naming both places it was given. Otherwise the problem, with
// `error` saying it.
LineProblem lineTargets(const LineRequest& request, std::vector<LineTarget>& lines,
                        std::string& error);
