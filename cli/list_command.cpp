// uploader-cli list: the adapters the driver lists, one a line: the serial
// number, then what the driver knows more (product string, USB position).
#include <algorithm>
#include <cstdio>
#include <memory>

#include "cli/adapter_choice.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/terminal_operator.h"
#include "engine/line.h"
#include "engine/link.h"

int runList(const Options& o) {
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
  // The serial number first, so that scripts can take the first column.
  for (int i = 0; i < shown; ++i) {
    const std::string detail = adapter->listingDetail(static_cast<std::size_t>(i));
    std::printf("%s%s%s\n", line->pcBufLD[i], detail.empty() ? "" : "  ", detail.c_str());
  }
  std::fflush(stdout);
  if (line->iNumDevs > kSerialSlots)
    std::fprintf(stderr, "note: %d adapters attached; only the first %d are listed\n",
                 static_cast<int>(line->iNumDevs), kSerialSlots);
  else if (shown == 0 && !o.quiet)
    std::fputs("no adapter found\n", stderr);
  return exitDone;
}
