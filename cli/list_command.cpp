// uploader-cli list: the serial numbers the adapter's library lists.
#include <algorithm>
#include <cstdio>

#include "cli/adapter_choice.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/terminal_operator.h"
#include "engine/link.h"
#include "engine/state.h"

int runList(const Options& o) {
  std::string error;
  const AdapterTable* table = chooseAdapter(o, error);
  if (table == nullptr) {
    printError(stderr, error.c_str());
    return exitUsage;
  }
  adapter = table;
  if (!linkLoad() || !linkList()) {
    std::fprintf(stderr, "error: cannot list the adapters of \"%s\" (%s)\n", table->name,
                 table->library);
    return exitLineFailed;
  }
  const int shown = std::clamp(iNumDevs, 0, kSerialSlots);
  for (int i = 0; i < shown; ++i) std::printf("%s\n", cBufLD + i * kSerialSlot);
  std::fflush(stdout);
  if (iNumDevs > kSerialSlots)
    std::fprintf(stderr, "note: %d adapters attached; only the first %d are listed\n",
                 static_cast<int>(iNumDevs), kSerialSlots);
  else if (shown == 0 && !o.quiet)
    std::fputs("no adapter found\n", stderr);
  return exitDone;
}
