// The driver registry: turns an adapter argument given by a person ("sim",
// "d2xx", "ftdi", "tty:/dev/ttyUSB0", "artnet:10.0.0.5:1", ...) into an
// adapter object of its own, and tells which options each driver takes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/adapter.h"

// An option a driver takes on the command line ("--sim-fail WHAT").
struct DriverOption {
  const char* name;       // "--sim-fail"
  const char* valueName;  // "WHAT"; null for a flag
  const char* help;       // one line for help texts
  bool listing;           // also matters to listing the adapters, not only to an upload
  // Checks a value before anything runs; false with `error` (naming the
  // option) when it is unusable. Null: any value will do.
  bool (*check)(const std::string& value, std::string& error);
};

// An option as given: its name, and its value ("" for a flag).
struct DriverSetting {
  std::string name;
  std::string value;
};
using DriverSettings = std::vector<DriverSetting>;

// What the text after a driver's prefix may name, besides the driver's own
// argument, when the command line makes lines of it.
enum class LineForm : std::uint8_t {
  single,       // one line: the argument is the driver's own
  serialOrAll,  // "ftdi:SERIAL": the adapter with that serial; "ftdi:all": each connected one
  count,        // "sim:N": N lines, each an adapter of its own; the maker takes "K" for line K
};

// Where fixtures are read back over RDM: a node and its port address.
struct RdmPort {
  std::string host;
  std::uint16_t portAddress = 0;
};

// A line a node offers: the adapter argument that makes it
// ("artnet:10.0.0.5:0:0:1") and what it carries ("RDM", "no RDM").
struct OfferedLine {
  std::string argument;
  std::string detail;
};
// A node that answered, as a listing shows it, with its lines.
struct ListedNode {
  std::string text;  // "10.0.0.5 NodeName"
  std::vector<OfferedLine> lines;
};

struct DriverEntry {
  const char* prefix;           // "sim", or "tty" for "tty:PATH"
  const char* usage;            // how it is written, for help texts: "tty:PATH"
  const char* summary;          // one line for help texts
  const DriverOption* options;  // ending with an option whose name is null
  // Builds the adapter for the text after "prefix:" (empty when none) and
  // the driver's own settings; null with `error` filled in when either is
  // unusable.
  std::unique_ptr<Adapter> (*make)(const std::string& argument, const DriverSettings& settings,
                                   std::string& error);
  LineForm lines = LineForm::single;
  // Takes --serial: the driver lists adapters by serial number and opens the one named.
  bool takesSerial = false;
  // Reads fixtures back over RDM: the node and port address the argument
  // (the text after "prefix:") names; false with `why` when the text is
  // unusable. Null when the driver cannot; `noRdm` then says why, for a person.
  bool (*rdmPort)(const std::string& argument, RdmPort& port, std::string& why) = nullptr;
  const char* noRdm = nullptr;
  // A node driver: the nodes that answer at HOST (the argument without
  // any port address) and the lines each offers, for "prefix:HOST:all"
  // and listings. True once the poll went out; when none answered, `nodes`
  // is empty and `why` says so. False with `why` when no poll could be made
  // (a host that cannot be found, a socket). Null for others.
  bool (*nodeLines)(const std::string& host, std::vector<ListedNode>& nodes,
                    std::string& why) = nullptr;
  // What the argument (the text after "prefix:") reaches, written one way
  // for every way of writing it: two arguments with one key are one line
  // ("artnet:localhost" and "artnet:127.0.0.1:0"). "" when the text is
  // unusable; null when the argument's text itself names the line.
  std::string (*lineKey)(const std::string& argument) = nullptr;
};

// All drivers built into this program, ending with an entry whose prefix is null.
const DriverEntry* driverEntries();
// The driver an adapter argument names by its prefix; null when none does.
const DriverEntry* findDriver(const std::string& argument);
// The driver that declares option `name` (with the option); null when none does.
const DriverEntry* driverOfOption(const std::string& name, const DriverOption** option = nullptr);
// The adapter an argument names; null with `error` filled in when there is none.
std::unique_ptr<Adapter> makeAdapter(const std::string& argument, const DriverSettings& settings,
                                     std::string& error);
// The RDM port an adapter argument reaches; false with `why` saying why
// this adapter cannot read fixtures back, or what is wrong with its text.
bool adapterRdmPort(const std::string& argument, RdmPort& port, std::string& why);
// The driver used when none is named.
const char* defaultAdapterName();
// A whole decimal number from `low` to `high` (no sign, no spaces), for
// option values; false when `text` is anything else.
bool parseWholeNumber(const std::string& text, long low, long high, long& out);
// How an option refuses a value out of its range: "--address takes 1 to
// 512, not 0", or "... takes a number from 1 to 512, not "7x"".
std::string rangeRefusal(const std::string& what, const std::string& text, long low, long high);
// The value of `name` among `settings`; null when it was not given.
const std::string* settingValue(const DriverSettings& settings, const char* name);
