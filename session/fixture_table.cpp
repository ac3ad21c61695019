#include "session/fixture_table.h"

#include <cstdio>
#include <vector>

#include "drivers/artnet_rdm_udp.h"
#include "drivers/artnet_wire.h"
#include "drivers/registry.h"
#include "engine/clock.h"
#include "session/read_back.h"

FixtureProblem readFixtureTable(const std::string& adapter, const rdm::Uid& controller,
                                const std::function<bool()>& stop,
                                const std::function<void(const artnet::FixtureReading&)>& onFixture,
                                FixtureTableRun& run, std::string& error,
                                const std::function<void(const FixtureTableRun&)>& onTable) {
  RdmPort port;
  if (!adapterRdmPort(adapter, port, error)) return FixtureProblem::usage;
  run.host = port.host;
  run.portAddress = port.portAddress;
  artnet::UdpRdmTransport transport;
  if (!transport.open(port.host, port.portAddress, 6454, 6454, error))
    return FixtureProblem::unreachable;
  run.portNote = transport.portNote();
  // Every wait of the conversation ends within 100 ms of a stop, and the
  // whole of it within its bound (RdmTimeouts::totalMs).
  artnet::RdmConversation conversation(transport, realClock(), port.portAddress, controller,
                                       run.bounds, stop);
  std::vector<rdm::Uid> uids;
  std::string why;
  if (!conversation.readTod(uids, why)) {
    if (conversation.stopped()) return FixtureProblem::stopped;
    error = port.host + " port address " + artnet::portAddressText(port.portAddress) + ": " + why;
    return FixtureProblem::unreachable;
  }
  run.note = why;
  run.found = uids.size();
  if (onTable) onTable(run);
  for (const rdm::Uid& uid : uids) {
    const artnet::FixtureReading r = artnet::readFixture(conversation, uid, true);
    // A stop during a fixture's GETs (the last fixture's too) leaves that
    // fixture out of the table.
    if (conversation.stopped() || stop()) return FixtureProblem::stopped;
    if (conversation.outOfTime()) return FixtureProblem::outOfTime;
    ++run.asked;
    onFixture(r);
  }
  return FixtureProblem::none;
}

std::string fixtureVersionText(const artnet::FixtureReading& r) {
  if (!r.hasInfo) return "?";
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(r.info.softwareVersion));
  return text;
}

std::string fixtureModelIdText(const artnet::FixtureReading& r) {
  return r.hasInfo ? modelText(r.info.modelId, "") : "?";
}

std::string fixtureAddressText(const artnet::FixtureReading& r) {
  if (!r.hasInfo) return "?";
  return r.info.startAddress == 0xFFFF ? "none" : std::to_string(r.info.startAddress);
}
