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
#include "drivers/artnet_wire.h"
#include "drivers/registry.h"
#include "files/shown_text.h"
#include "session/exit_codes.h"
#include "session/fixture_table.h"

namespace {

std::string cell(const std::string& text, std::size_t width) {
  std::string c = files::shown(text.empty() ? "?" : text);
  if (c.size() < width) c.resize(width, ' ');
  return c + " ";
}

int fixtures(const Options& o, ServiceRecords* records) {
  if (o.adapterNames.size() > 1 || !o.linesFile.empty()) {
    std::fputs("error: fixtures reads one node's port: give one --adapter artnet:HOST\n", stderr);
    return exitUsage;
  }
  const std::string line = o.adapterNames.empty() ? defaultAdapterName() : o.adapterNames.front();
  // The notes, then the table's head once the node's table came.
  const auto onTable = [&o](const FixtureTableRun& run) {
    if (!run.portNote.empty()) std::fprintf(stderr, "note: %s\n", run.portNote.c_str());
    if (!run.note.empty()) std::fprintf(stderr, "note: %s\n", run.note.c_str());
    if (run.found == 0) {
      if (!o.quiet)
        std::fprintf(stderr, "no fixture in the table of devices of %s port address %s\n",
                     run.host.c_str(), artnet::portAddressText(run.portAddress).c_str());
      return;
    }
    std::printf("%s%s%s%s%s%s%s\n", cell("UID", 13).c_str(), cell("MANUFACTURER", 21).c_str(),
                cell("MODEL", 24).c_str(), cell("MODEL ID", 8).c_str(), cell("ADDRESS", 7).c_str(),
                cell("VERSION", 10).c_str(), "LABEL");
  };
  const auto onFixture = [&](const artnet::FixtureReading& r) {
    if (records != nullptr) records->reading(r, line, "fixtures");
    std::printf("%s%s%s%s%s%s%s\n", cell(rdm::uidText(r.uid), 13).c_str(),
                cell(r.manufacturer, 21).c_str(), cell(r.model, 24).c_str(),
                cell(fixtureModelIdText(r), 8).c_str(), cell(fixtureAddressText(r), 7).c_str(),
                cell(fixtureVersionText(r), 10).c_str(),
                files::shown(r.softwareLabel.empty() ? "?" : r.softwareLabel).c_str());
    for (const std::string& u : r.unanswered)
      std::printf("  not answered: %s\n", files::shown(u).c_str());
    std::fflush(stdout);
  };
  // Every wait of the conversation ends within 100 ms of a Ctrl-C.
  FixtureTableRun run;
  std::string error;
  switch (readFixtureTable(
      line, controllerUid(o), [] { return interruptRequested(); }, onFixture, run, error,
      onTable)) {
    case FixtureProblem::none:
      return exitDone;
    case FixtureProblem::usage:
      printError(stderr, error.c_str());
      return exitUsage;
    case FixtureProblem::unreachable:
      printError(stderr, error.c_str());
      return exitLineFailed;
    case FixtureProblem::stopped:
      std::fputs("interrupted\n", stderr);
      return exitInterrupted;
    case FixtureProblem::outOfTime:
      break;
  }
  std::fprintf(stderr,
               "error: %zu of %zu fixtures not asked: fixtures gives up after %u s in all "
               "(a fixture that does not answer costs %u s); check the node's table of "
               "devices for fixtures that are gone, or ask again\n",
               run.found - run.asked, run.found, run.bounds.totalMs / 1000,
               static_cast<unsigned>(run.bounds.tries) * run.bounds.replyMs / 1000);
  return exitLineFailed;
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
