// The commands of uploader-cli; each returns the exit status.
#pragma once

#include <string>

#include "cli/options.h"

int runUpload(const Options& options);
// An upload refused for its arguments, as the one JSON object --json asked
// for (`why` was said on standard error already): the usage status.
int reportUsageRefusal(const Options& options, const std::string& file, const std::string& why);
int runList(const Options& options);
int runDecode(const Options& options);
int runFixtures(const Options& options);
int runServe(const Options& options);
int runHistory(const Options& options);
int runInventory(const Options& options);
