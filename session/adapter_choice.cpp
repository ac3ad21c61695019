#include "session/adapter_choice.h"

#include <vector>

#include "session/nearest_word.h"

namespace {

// "unknown adapter "sin" (did you mean sim?); adapters: d2xx, sim, ...", one line.
std::string unknownAdapter(const std::string& name) {
  std::vector<std::string> prefixes;
  std::string kinds;
  for (const DriverEntry* e = driverEntries(); e->prefix != nullptr; ++e) {
    prefixes.push_back(e->prefix);
    kinds += std::string(kinds.empty() ? "" : ", ") + e->usage;
  }
  const std::string near = nearestWord(name.substr(0, name.find(':')), prefixes);
  return "--adapter: unknown adapter \"" + name + "\"" +
         (near.empty() ? "" : " (did you mean " + near + "?)") + "; adapters: " + kinds;
}

// "d2xx, sim, ftdi": the drivers that take --serial.
std::string serialDrivers() {
  std::string names;
  for (const DriverEntry* e = driverEntries(); e->prefix != nullptr; ++e)
    if (e->takesSerial) names += std::string(names.empty() ? "" : ", ") + e->prefix;
  return names;
}

}  // namespace

std::unique_ptr<Adapter> chooseAdapter(const DriverSettings& settings, const std::string& serial,
                                       const std::string& given, std::string& error) {
  const std::string name = given.empty() ? defaultAdapterName() : given;
  const DriverEntry* chosen = findDriver(name);
  if (chosen == nullptr) {
    error = unknownAdapter(name);
    return nullptr;
  }
  for (const DriverSetting& given : settings) {
    const DriverEntry* owner = driverOfOption(given.name);
    if (chosen != nullptr && owner != nullptr && owner != chosen) {
      error = given.name + " applies to --adapter " + owner->usage + " only, not to " + name;
      return nullptr;
    }
  }
  if (!serial.empty() && !chosen->takesSerial) {
    error = "--serial applies to the adapters chosen by serial number (" + serialDrivers() +
            "), not to " + name;
    return nullptr;
  }
  std::unique_ptr<Adapter> adapter = makeAdapter(name, settings, error);
  if (adapter == nullptr) error = "--adapter: " + error;
  return adapter;
}
