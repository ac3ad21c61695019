#include "cli/adapter_choice.h"

#include "drivers/registry.h"
#include "drivers/sacn.h"
#include "drivers/sim.h"

bool isSimulated(const AdapterTable* table) { return table == &sim::adapter(); }

const AdapterTable* chooseAdapter(const Options& o, std::string& error) {
  const std::string name = o.adapterName.empty() ? defaultAdapterName() : o.adapterName;
  const AdapterTable* table = findAdapter(name, error);
  if (table == nullptr) {
    error = "--adapter: " + error;
    return nullptr;
  }
  if (!sacnSetCid(o.cid, error)) {
    error = "--cid: " + error;
    return nullptr;
  }
  if (!isSimulated(table)) {
    if (o.simOptionGiven) {
      error = "--sim-device, --sim-fail and --sim-none need --adapter sim";
      return nullptr;
    }
    return table;
  }
  sim::reset();
  sim::Settings& s = sim::settings();
  s.keepRecord = false;  // the record grows with every call; a long upload needs none of it
  if (o.simNone) s.serials.clear();
  s.failList = o.simFailure == SimFailure::list;
  s.failOpen = o.simFailure == SimFailure::open;
  if (o.simFailure == SimFailure::write) s.failWritesFrom = o.simWritesBeforeFailure + 1;
  return table;
}
