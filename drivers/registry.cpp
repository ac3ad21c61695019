#include "drivers/registry.h"

#include "drivers/d2xx.h"
#include "drivers/sim.h"

namespace {

const AdapterTable* makeD2xx(const std::string&, std::string&) { return &d2xxAdapter(); }
const AdapterTable* makeSim(const std::string&, std::string&) { return &sim::adapter(); }

// One line per driver.
const DriverEntry entries[] = {
    {"d2xx", "d2xx", "FTDI's D2XX library (FTD2XX.dll / libftd2xx.so)", makeD2xx},
    {"sim", "sim", "simulated adapter with a virtual device on the line", makeSim},
    {nullptr, nullptr, nullptr, nullptr},
};

}  // namespace

const DriverEntry* driverEntries() { return entries; }

const AdapterTable* findAdapter(const std::string& name, std::string& error) {
  const std::size_t colon = name.find(':');
  const std::string prefix = name.substr(0, colon);
  const std::string argument = colon == std::string::npos ? "" : name.substr(colon + 1);
  for (const DriverEntry* e = entries; e->prefix != nullptr; ++e)
    if (prefix == e->prefix) return e->make(argument, error);
  error = "unknown adapter \"" + name + "\"";
  return nullptr;
}

const char* defaultAdapterName() { return "d2xx"; }
