// uploader-cli history and inventory: what the service records hold, as a
// table, CSV or JSON on standard output.
#include <cstdio>

#include "cli/commands.h"
#include "cli/output_check.h"
#include "cli/records_output.h"
#include "cli/terminal_operator.h"
#include "files/shown_text.h"
#include "session/exit_codes.h"
#include "session/service_records.h"

namespace {

// The most uploads a history table shows.
constexpr std::size_t kTableRows = 1000;

RecordsFormat formatOf(const Options& o) {
  return o.json ? RecordsFormat::json : o.csv ? RecordsFormat::csv : RecordsFormat::table;
}

// The records to read: exitDone with `store` open, or the status to end
// with. A missing file at the default place is no records yet (`store`
// stays null); a missing file named by --records is an error.
int openForReading(const Options& o, RecordsOpening& opened) {
  opened = openRecords(o.recordsFile, records::Access::read);
  if (opened.store != nullptr) return exitDone;
  if (opened.path.empty()) {
    printError(stderr, ("no place for the service records: " + opened.why +
                        "; name the file with --records FILE")
                           .c_str());
    return exitFileRefused;
  }
  if (opened.missing && o.recordsFile.empty()) {
    if (!o.quiet)
      std::fprintf(stderr, "note: no service records yet at %s\n",
                   files::quoted(opened.path).c_str());
    return exitDone;
  }
  printError(stderr, ("the service records " + files::quoted(opened.path) +
                      " cannot be read: " + opened.why)
                         .c_str());
  return exitFileRefused;
}

int queryFailed(const RecordsOpening& opened, const std::string& why) {
  printError(stderr,
             ("the service records " + files::quoted(opened.path) + " could not be asked: " + why)
                 .c_str());
  return exitFileRefused;
}

}  // namespace

int runHistory(const Options& o) {
  RecordsOpening opened;
  const int status = openForReading(o, opened);
  if (status != exitDone) return status;
  std::vector<records::HistoryRow> rows;
  std::string why;
  if (opened.store != nullptr) {
    records::HistoryFilter filter;
    filter.since = o.since;
    filter.image = o.image;
    filter.adapter = o.adapterNames.empty() ? "" : o.adapterNames.front();
    filter.result = o.result;
    // A table is for a person: the newest uploads, and how many more there are.
    if (formatOf(o) == RecordsFormat::table) filter.limit = kTableRows + 1;
    if (!opened.store->history(filter, rows, why)) return queryFailed(opened, why);
  }
  const bool more = rows.size() > kTableRows && formatOf(o) == RecordsFormat::table;
  if (more) rows.resize(kTableRows);
  std::fputs(historyText(rows, formatOf(o), opened.path).c_str(), stdout);
  if (more)
    std::fprintf(stderr,
                 "note: the newest %zu uploads shown; older ones: --since DATE, or every one "
                 "with --csv or --json\n",
                 kTableRows);
  return checkedOutput(exitDone);
}

int runInventory(const Options& o) {
  RecordsOpening opened;
  const int status = openForReading(o, opened);
  if (status != exitDone) return status;
  std::vector<records::InventoryRow> rows;
  std::string why;
  if (opened.store != nullptr && !opened.store->inventory(rows, why))
    return queryFailed(opened, why);
  std::fputs(inventoryText(rows, formatOf(o), opened.path).c_str(), stdout);
  return checkedOutput(exitDone);
}
