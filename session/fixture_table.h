// The fixtures on one port of an Art-Net node, read over RDM: the node's
// table of devices, then what each fixture says about itself. The command
// line prints each as it comes; the console sends the table as JSON.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "drivers/artnet_rdm.h"

enum class FixtureProblem : std::uint8_t {
  none,
  usage,        // the adapter reads no fixtures (or its text is unusable)
  unreachable,  // the node could not be reached or gave no table
  stopped,      // asked to stop
  outOfTime,    // the whole conversation's bound passed with fixtures not asked
};

struct FixtureTableRun {
  std::string host;
  std::uint16_t portAddress = 0;
  std::string portNote;   // why some nodes may not be heard (the Art-Net port is taken); "": none
  std::string note;       // what the node said about its table, for a person; "": nothing
  std::size_t found = 0;  // fixtures in the table
  std::size_t asked = 0;  // of those, asked about themselves
  artnet::RdmTimeouts bounds;
};

// Reads the table of `adapter` ("artnet:HOST[:PORT-ADDRESS]") as controller
// `controller`: `onTable`, when given, once the table came (the run's notes
// and `found` filled in), then `onFixture` for each fixture as it is read.
// `stop` is asked often; true ends the reading within 100 ms. Otherwise the
// problem, with `error` saying it.
FixtureProblem readFixtureTable(const std::string& adapter, const rdm::Uid& controller,
                                const std::function<bool()>& stop,
                                const std::function<void(const artnet::FixtureReading&)>& onFixture,
                                FixtureTableRun& run, std::string& error,
                                const std::function<void(const FixtureTableRun&)>& onTable = {});

// "0x00010203", or "?" when the fixture gave no DEVICE_INFO.
std::string fixtureVersionText(const artnet::FixtureReading& reading);
// "0x0102", DEVICE_INFO's model ID as --model takes it, or "?" without DEVICE_INFO.
std::string fixtureModelIdText(const artnet::FixtureReading& reading);
// Its DMX start address, "none", or "?" when it gave no DEVICE_INFO.
std::string fixtureAddressText(const artnet::FixtureReading& reading);
