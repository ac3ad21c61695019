#include "cli/adapter_choice.h"

#include "drivers/registry.h"

std::unique_ptr<Adapter> chooseAdapter(const Options& o, std::string& error) {
  const std::string name = o.adapterName.empty() ? defaultAdapterName() : o.adapterName;
  const DriverEntry* chosen = findDriver(name);
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
