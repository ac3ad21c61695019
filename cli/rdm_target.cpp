#include "cli/rdm_target.h"

#include "drivers/artnet.h"
#include "drivers/artnet_rdm.h"
#include "drivers/registry.h"

bool rdmTarget(const Options& o, std::string& host, std::uint16_t& portAddress, std::string& why) {
  const std::string name = o.adapterName.empty() ? defaultAdapterName() : o.adapterName;
  const std::string prefix = name.substr(0, name.find(':'));
  if (prefix == "artnet") {
    if (artnet::parseTarget(name.substr(name.find(':') + 1), host, portAddress, why)) return true;
    why = "--adapter: " + why;
    return false;
  }
  if (prefix == "sacn")
    why = "sACN cannot read fixtures back: E1.31 carries no RDM (use --adapter artnet:NODE)";
  else if (prefix == "sim")
    why =
        "the simulated adapter has no RDM responders; fixtures are read through "
        "--adapter artnet:NODE";
  else
    why = "the " + prefix +
          " adapter cannot read fixtures back: RDM through a USB or serial adapter needs a "
          "transceiver wired for RDM and is not supported yet (use --adapter artnet:NODE)";
  return false;
}

rdm::Uid controllerUid(const Options& o) {
  rdm::Uid uid = artnet::kDefaultController;
  if (!o.rdmUid.empty()) rdm::parseUid(o.rdmUid, uid);
  return uid;
}
