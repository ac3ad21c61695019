// uploader-cli list: the adapters the driver lists, one a line: the serial
// number, then what the driver knows more (product string, USB position);
// shown with control characters escaped, since a node may send anything.
#include <algorithm>
#include <cstdio>
#include <memory>

#include "cli/commands.h"
#include "cli/output_check.h"
#include "cli/terminal_operator.h"
#include "drivers/registry.h"
#include "engine/line.h"
#include "files/shown_text.h"
#include "session/adapter_choice.h"
#include "session/adapter_listing.h"
#include "session/exit_codes.h"
#include "session/line_targets.h"

namespace {

// Lists what one adapter argument reaches; each line of output starts with
// `prefix` ("" for the usual listing of one adapter).
int listOne(const Options& o, const std::string& name, const std::string& prefix,
            const std::string& wanted) {
  std::string error;
  std::unique_ptr<Adapter> adapter = chooseAdapter(o.driverSettings, o.serial, name, error);
  if (adapter == nullptr) {
    printError(stderr, error.c_str());
    return exitUsage;
  }
  AdapterListing listing;
  if (!listAdapters(*adapter, listing, error)) {
    std::fprintf(stderr, "error: %s%s\n", prefix.c_str(), error.c_str());
    return exitLineFailed;
  }
  bool found = wanted.empty();
  // The serial number first, so that scripts can take the first column.
  for (const ListedAdapter& a : listing.adapters) {
    if (!wanted.empty() && a.serial != wanted) continue;
    found = true;
    std::printf("%s%s%s%s\n", prefix.c_str(), files::shown(a.serial).c_str(),
                a.detail.empty() ? "" : "  ", files::shown(a.detail).c_str());
  }
  if (listing.attached > kSerialSlots)
    std::fprintf(stderr, "note: %s%d adapters attached; only the first %d are listed\n",
                 prefix.c_str(), listing.attached, kSerialSlots);
  else if ((listing.adapters.empty() || !found) && !o.quiet)
    std::fprintf(stderr, "%sno adapter found%s\n", prefix.c_str(),
                 wanted.empty() ? "" : (" with serial " + files::quoted(wanted)).c_str());
  return exitDone;
}

// "artnet:HOST" or "artnet:HOST:all", for a driver that lists nodes: the host.
bool namesNodes(const std::string& argument, const DriverEntry*& entry, std::string& host) {
  entry = findDriver(argument);
  const std::size_t colon = argument.find(':');
  if (entry == nullptr || entry->nodeLines == nullptr || colon == std::string::npos) return false;
  host = argument.substr(colon + 1);
  if (host.ends_with(":all")) host.resize(host.size() - 4);
  return !host.empty() && host.find(':') == std::string::npos;
}

// The nodes that answer at HOST, each as the usual listing shows it, and
// under it every line it offers: the adapter argument that makes the line
// (to copy into --adapter or --lines) and whether RDM is on there.
int listNodes(const Options& o, const DriverEntry& entry, const std::string& host) {
  std::vector<ListedNode> nodes;
  std::string why;
  if (!entry.nodeLines(host, nodes, why)) {
    printError(stderr, why.c_str());
    return exitLineFailed;
  }
  if (nodes.empty()) {  // nobody answered: nothing to list
    if (!o.quiet) std::fprintf(stderr, "%s\n", files::shown(why).c_str());
    return exitDone;
  }
  for (const ListedNode& node : nodes) {
    std::printf("%s\n", files::shown(node.text).c_str());
    for (const OfferedLine& line : node.lines)
      std::printf("  %s  %s\n", files::shown(line.argument).c_str(),
                  files::shown(line.detail).c_str());
  }
  return exitDone;
}

int list(const Options& o) {
  const DriverEntry* nodeDriver = nullptr;
  std::string host;
  if (o.adapterNames.size() == 1 && o.linesFile.empty() &&
      namesNodes(o.adapterNames.front(), nodeDriver, host))
    return listNodes(o, *nodeDriver, host);
  std::vector<LineTarget> targets;
  std::string error;
  const LineProblem problem =
      lineTargets({o.adapterNames, o.linesFile, o.driverSettings}, targets, error);
  if (problem != LineProblem::none) {
    printError(stderr, error.c_str());
    return problem == LineProblem::linesFile       ? exitFileRefused
           : problem == LineProblem::listingFailed ? exitLineFailed
                                                   : exitUsage;
  }
  // One adapter argument as it always was; several (or a form that makes
  // several lines) a block each, every line labelled with the line it names.
  if (targets.size() == 1 && o.linesFile.empty() && !targets.front().fromForm)
    return listOne(o, targets.front().adapter, "", targets.front().serial);
  int worst = exitDone;
  for (const LineTarget& t : targets)
    worst = std::max(worst, listOne(o, t.adapter, files::shown(t.label) + ": ", t.serial));
  return worst;
}

}  // namespace

int runList(const Options& o) { return checkedOutput(list(o)); }
