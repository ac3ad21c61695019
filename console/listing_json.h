// What the console shows of adapters and fixtures, as JSON: the drivers
// built in and what each lists, one adapter argument's listing, and the
// fixtures on an Art-Net node's port (the command line's list and fixtures).
#pragma once

#include <string>

// Every driver: its name, usage, summary, capabilities, and the adapters
// it lists without an argument (or why it cannot).
std::string everyDriverJson();

// What `adapter` (the command line's syntax: "sim:4", "ftdi:all") reaches,
// a line at a time; `status` becomes 400 when the text names no line.
std::string adapterListingJson(const std::string& adapter, int& status);

// The fixtures on the node's port `adapter` names, read over RDM; `status`
// becomes 400 when the adapter reads no fixtures, 502 when the node gave
// no table, 503 on a stop, 504 when the reading ran out of time.
std::string fixturesJson(const std::string& adapter, int& status);
