// uploader-cli list: the adapters the driver lists, one a line: the serial
// number, then what the driver knows more (product string, USB position);
// shown with control characters escaped, since a node may send anything.
#include <algorithm>
#include <cstdio>
#include <memory>

#include "cli/adapter_choice.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/output_check.h"
#include "cli/terminal_operator.h"
#include "drivers/registry.h"
#include "engine/line.h"
#include "engine/link.h"
#include "files/shown_text.h"
#include "session/line_targets.h"

namespace {

// Lists what one adapter argument reaches; each line of output starts with
// `prefix` ("" for the usual listing of one adapter).
int listOne(const Options& o, const std::string& name, const std::string& prefix,
            const std::string& wanted) {
  std::string error;
  std::unique_ptr<Adapter> adapter = chooseAdapter(o, name, error);
  if (adapter == nullptr) {
    printError(stderr, error.c_str());
    return exitUsage;
  }
  auto line = std::make_unique<Line>();
  line->adapter = adapter.get();
  if (!linkLoad(*line) || !linkList(*line)) {
    std::fprintf(stderr, "error: %scannot list the adapters of \"%s\" (%s)\n", prefix.c_str(),
                 adapter->name(), adapter->library());
    return exitLineFailed;
  }
  const int shown = std::clamp(line->iNumDevs, 0, kSerialSlots);
  bool found = wanted.empty();
  // The serial number first, so that scripts can take the first column.
  for (int i = 0; i < shown; ++i) {
    const std::string serial = line->pcBufLD[i];
    if (!wanted.empty() && serial != wanted) continue;
    found = true;
    const std::string detail = adapter->listingDetail(static_cast<std::size_t>(i));
    std::printf("%s%s%s%s\n", prefix.c_str(), files::shown(serial).c_str(),
                detail.empty() ? "" : "  ", files::shown(detail).c_str());
  }
  if (line->iNumDevs > kSerialSlots)
    std::fprintf(stderr, "note: %s%d adapters attached; only the first %d are listed\n",
                 prefix.c_str(), static_cast<int>(line->iNumDevs), kSerialSlots);
  else if ((shown == 0 || !found) && !o.quiet)
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
    if (!nodes.empty() || why.find("answered") == std::string::npos) {
      printError(stderr, why.c_str());
      return exitLineFailed;
    }
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
