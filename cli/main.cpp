// uploader-cli: the upload engine driven from the command line.
#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/options.h"
#include "cli/output_check.h"
#include "cli/std_streams.h"
#include "session/exit_codes.h"

// UPLOADER_VERSION: the version text the build writes (cmake/Version.cmake).
#include "uploader_version.h"

int main(int argc, char** argv) {
  // First of all: nothing opened later may take the place of a closed one.
  if (!openStandardStreams()) return exitOutputFailed;
  installInterruptHandlers();
  Options options;
  const ParseResult parsed = parseOptions(argc, argv, options);
  switch (parsed.status) {
    case ParseStatus::help:
      std::fputs(helpText(options.command).c_str(), stdout);
      return checkedOutput(exitDone);
    case ParseStatus::version:  // -V, --version
      std::printf("uploader-cli %s\n", UPLOADER_VERSION);
      return checkedOutput(exitDone);
    case ParseStatus::usage:
      std::fprintf(stderr, "error: %s\n", parsed.error.c_str());
      if (std::string file; uploadAsksForJson(argc, argv, file))
        return reportUsageRefusal(options, file, parsed.error);
      return exitUsage;
    case ParseStatus::run:
      break;
  }
  switch (options.command) {
    case Command::upload:
      return runUpload(options);
    case Command::list:
      return runList(options);
    case Command::decode:
      return runDecode(options);
    case Command::fixtures:
      return runFixtures(options);
    case Command::serve:
      return runServe(options);
    case Command::history:
      return runHistory(options);
    case Command::inventory:
      return runInventory(options);
    case Command::none:
      break;
  }
  return exitUsage;
}
