#include "cli/adapter_choice.h"

#include <vector>

#include "cli/nearest_word.h"
#include "drivers/registry.h"

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

}  // namespace

std::unique_ptr<Adapter> chooseAdapter(const Options& o, std::string& error) {
  const std::string name = o.adapterName.empty() ? defaultAdapterName() : o.adapterName;
  const DriverEntry* chosen = findDriver(name);
  if (chosen == nullptr) {
    error = unknownAdapter(name);
    return nullptr;
  }
  for (const DriverSetting& given : o.driverSettings) {
    const DriverEntry* owner = driverOfOption(given.name);
    if (chosen != nullptr && owner != nullptr && owner != chosen) {
      error = given.name + " applies to --adapter " + owner->usage + " only, not to " + name;
      return nullptr;
    }
  }
  std::unique_ptr<Adapter> adapter = makeAdapter(name, o.driverSettings, error);
  if (adapter == nullptr) error = "--adapter: " + error;
  return adapter;
}
