#include "console/listing_json.h"

#include <nlohmann/json.hpp>

#include "drivers/artnet_wire.h"
#include "drivers/registry.h"
#include "session/adapter_choice.h"
#include "session/adapter_listing.h"
#include "session/fixture_table.h"
#include "session/line_targets.h"
#include "session/stop_requests.h"

using Json = nlohmann::ordered_json;

namespace {

std::string text(const Json& j) { return j.dump(-1, ' ', false, Json::error_handler_t::replace); }

Json textOrNull(const std::string& t) { return t.empty() ? Json(nullptr) : Json(t); }

// What one adapter argument lists: {"adapters": [...], "attached": N,
// "error": null} or {"adapters": null, ..., "error": why}.
Json listingOf(const std::string& argument) {
  std::string error;
  AdapterListing listing;
  std::unique_ptr<Adapter> adapter = chooseAdapter({}, "", argument, error);
  if (adapter == nullptr || !listAdapters(*adapter, listing, error))
    return {{"adapters", nullptr}, {"attached", 0}, {"error", error}};
  Json adapters = Json::array();
  for (const ListedAdapter& a : listing.adapters)
    adapters.push_back({{"serial", a.serial}, {"detail", textOrNull(a.detail)}});
  return {{"adapters", adapters}, {"attached", listing.attached}, {"error", nullptr}};
}

}  // namespace

std::string everyDriverJson() {
  Json drivers = Json::array();
  for (const DriverEntry* e = driverEntries(); e->prefix != nullptr; ++e) {
    Json d = {{"prefix", e->prefix},
              {"usage", e->usage},
              {"summary", e->summary},
              {"takesSerial", e->takesSerial},
              {"fixtures", e->rdmPort != nullptr},
              {"noFixtures", e->noRdm != nullptr ? Json(e->noRdm) : Json(nullptr)}};
    const Json listing = listingOf(e->prefix);
    for (auto& [key, value] : listing.items()) d[key] = value;
    drivers.push_back(d);
  }
  return text({{"default", defaultAdapterName()}, {"drivers", drivers}});
}

std::string adapterListingJson(const std::string& adapter, int& status) {
  std::vector<LineTarget> targets;
  std::string error;
  if (lineTargets({{adapter}, "", {}}, targets, error) != LineProblem::none) {
    status = 400;
    return text({{"error", error}});
  }
  Json lines = Json::array();
  for (const LineTarget& t : targets) {
    Json line = {{"label", t.label}, {"adapter", t.adapter}, {"serial", textOrNull(t.serial)}};
    const Json listing = listingOf(t.adapter);
    for (auto& [key, value] : listing.items()) line[key] = value;
    lines.push_back(line);
  }
  return text({{"lines", lines}});
}

std::string fixturesJson(const std::string& adapter, int& status) {
  FixtureTableRun run;
  Json fixtures = Json::array();
  std::string error;
  const FixtureProblem problem = readFixtureTable(
      adapter, artnet::kDefaultController, [] { return stopRequested(); },
      [&fixtures](const artnet::FixtureReading& r) {
        fixtures.push_back({{"uid", rdm::uidText(r.uid)},
                            {"manufacturer", r.manufacturer},
                            {"model", r.model},
                            {"address", fixtureAddressText(r)},
                            {"version", fixtureVersionText(r)},
                            {"label", r.softwareLabel},
                            {"unanswered", r.unanswered}});
      },
      run, error);
  switch (problem) {
    case FixtureProblem::none:
      break;
    case FixtureProblem::usage:
      status = 400;
      return text({{"error", error}});
    case FixtureProblem::unreachable:
      status = 502;
      return text({{"error", error}});
    case FixtureProblem::stopped:
      status = 503;
      return text({{"error", "the console is stopping"}});
    case FixtureProblem::outOfTime:
      status = 504;
      error = std::to_string(run.found - run.asked) + " of " + std::to_string(run.found) +
              " fixtures not asked: the reading gives up after " +
              std::to_string(run.bounds.totalMs / 1000) +
              " s in all; check the node's table of devices for fixtures that are gone";
      break;
  }
  return text({{"node", run.host},
               {"portAddress", artnet::portAddressText(run.portAddress)},
               {"note", textOrNull(run.note)},
               {"fixtures", fixtures},
               {"error", textOrNull(error)}});
}
