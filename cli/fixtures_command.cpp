// uploader-cli fixtures: the fixtures on one port of an Art-Net node, read
// over RDM: the node's table of devices, then what each fixture says about
// itself, as a table.
#include <cstdio>

#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/output_check.h"
#include "cli/read_back_view.h"
#include "cli/records_use.h"
#include "cli/terminal_operator.h"
#include "drivers/artnet_rdm.h"
#include "drivers/artnet_rdm_udp.h"
#include "drivers/artnet_wire.h"
#include "drivers/registry.h"
#include "files/shown_text.h"
#include "session/exit_codes.h"

namespace {

std::string cell(const std::string& text, std::size_t width) {
  std::string c = files::shown(text.empty() ? "?" : text);
  if (c.size() < width) c.resize(width, ' ');
  return c + " ";
}

// DEVICE_INFO's model ID, as --model takes it.
std::string modelIdText(const artnet::FixtureReading& r) {
  if (!r.hasInfo) return "?";
  char id[8];
  std::snprintf(id, sizeof id, "0x%04X", r.info.modelId);
  return id;
}

std::string versionText(const artnet::FixtureReading& r) {
  if (!r.hasInfo) return "?";
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(r.info.softwareVersion));
  return text;
}

std::string addressText(const artnet::FixtureReading& r) {
  if (!r.hasInfo) return "?";
  return r.info.startAddress == 0xFFFF ? "none" : std::to_string(r.info.startAddress);
}

int fixtures(const Options& o, ServiceRecords* records) {
  if (o.adapterNames.size() > 1 || !o.linesFile.empty()) {
    std::fputs("error: fixtures reads one node's port: give one --adapter artnet:HOST\n", stderr);
    return exitUsage;
  }
  std::string why;
  RdmPort port;
  if (!adapterRdmPort(o.adapterNames.empty() ? defaultAdapterName() : o.adapterNames.front(), port,
                      why)) {
    printError(stderr, why.c_str());
    return exitUsage;
  }
  const std::string line = o.adapterNames.empty() ? defaultAdapterName() : o.adapterNames.front();
  const std::string& host = port.host;
  const std::uint16_t portAddress = port.portAddress;
  artnet::UdpRdmTransport transport;
  if (!transport.open(host, portAddress, 6454, 6454, why)) {
    printError(stderr, why.c_str());
    return exitLineFailed;
  }
  if (!transport.portNote().empty())
    std::fprintf(stderr, "note: %s\n", transport.portNote().c_str());
  // Every wait of the conversation ends within 100 ms of a Ctrl-C, and the
  // whole of it within its bound (RdmTimeouts::totalMs).
  const artnet::RdmTimeouts bounds;
  artnet::RdmConversation conversation(transport, realClock(), portAddress, controllerUid(o),
                                       bounds, [] { return interruptRequested(); });
  std::vector<rdm::Uid> uids;
  if (!conversation.readTod(uids, why)) {
    if (conversation.stopped()) {
      std::fputs("interrupted\n", stderr);
      return exitInterrupted;
    }
    printError(
        stderr,
        (host + " port address " + artnet::portAddressText(portAddress) + ": " + why).c_str());
    return exitLineFailed;
  }
  if (!why.empty()) std::fprintf(stderr, "note: %s\n", why.c_str());
  if (uids.empty()) {
    if (!o.quiet)
      std::fprintf(stderr, "no fixture in the table of devices of %s port address %s\n",
                   host.c_str(), artnet::portAddressText(portAddress).c_str());
    return exitDone;
  }
  std::printf("%s%s%s%s%s%s%s\n", cell("UID", 13).c_str(), cell("MANUFACTURER", 21).c_str(),
              cell("MODEL", 24).c_str(), cell("MODEL ID", 8).c_str(), cell("ADDRESS", 7).c_str(),
              cell("VERSION", 10).c_str(), "LABEL");
  std::size_t asked = 0;
  for (const rdm::Uid& uid : uids) {
    const artnet::FixtureReading r = artnet::readFixture(conversation, uid, true);
    // A stop during a fixture's GETs (the last fixture's too) leaves that
    // fixture out of the table.
    if (conversation.stopped() || interruptRequested()) {
      std::fputs("interrupted\n", stderr);
      return exitInterrupted;
    }
    if (conversation.outOfTime()) {
      std::fprintf(stderr,
                   "error: %zu of %zu fixtures not asked: fixtures gives up after %u s in all "
                   "(a fixture that does not answer costs %u s); check the node's table of "
                   "devices for fixtures that are gone, or ask again\n",
                   uids.size() - asked, uids.size(), bounds.totalMs / 1000,
                   static_cast<unsigned>(bounds.tries) * bounds.replyMs / 1000);
      return exitLineFailed;
    }
    ++asked;
    if (records != nullptr) records->reading(r, line, "fixtures");
    std::printf("%s%s%s%s%s%s%s\n", cell(rdm::uidText(uid), 13).c_str(),
                cell(r.manufacturer, 21).c_str(), cell(r.model, 24).c_str(),
                cell(modelIdText(r), 8).c_str(), cell(addressText(r), 7).c_str(),
                cell(versionText(r), 10).c_str(),
                files::shown(r.softwareLabel.empty() ? "?" : r.softwareLabel).c_str());
    for (const std::string& u : r.unanswered)
      std::printf("  not answered: %s\n", files::shown(u).c_str());
    std::fflush(stdout);
  }
  return exitDone;
}

}  // namespace

int runFixtures(const Options& o) {
  RecordsUse records;
  std::string why;
  if (!records.open(o, why)) {
    printError(stderr, why.c_str());
    return exitFileRefused;
  }
  return records.closed(checkedOutput(fixtures(o, records.records())));
}
