// uploader-cli list: the serial numbers the adapter's library lists (for a
// network adapter, what the nodes answered: shown with control characters
// escaped, since a node may send anything).
#include <algorithm>
#include <cstdio>
#include <memory>

#include "cli/adapter_choice.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/output_check.h"
#include "cli/terminal_operator.h"
#include "engine/line.h"
#include "engine/link.h"
#include "files/shown_text.h"

namespace {

int list(const Options& o) {
  std::string error;
  std::unique_ptr<Adapter> adapter = chooseAdapter(o, error);
  if (adapter == nullptr) {
    printError(stderr, error.c_str());
    return exitUsage;
  }
  auto line = std::make_unique<Line>();
  line->adapter = adapter.get();
  if (!linkLoad(*line) || !linkList(*line)) {
    std::fprintf(stderr, "error: cannot list the adapters of \"%s\" (%s)\n", adapter->name(),
                 adapter->library());
    return exitLineFailed;
  }
  const int shown = std::clamp(line->iNumDevs, 0, kSerialSlots);
  for (int i = 0; i < shown; ++i) std::printf("%s\n", files::shown(line->pcBufLD[i]).c_str());
  if (line->iNumDevs > kSerialSlots)
    std::fprintf(stderr, "note: %d adapters attached; only the first %d are listed\n",
                 static_cast<int>(line->iNumDevs), kSerialSlots);
  else if (shown == 0 && !o.quiet)
    std::fputs("no adapter found\n", stderr);
  return exitDone;
}

}  // namespace

int runList(const Options& o) { return checkedOutput(list(o)); }
