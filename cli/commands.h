// The commands of uploader-cli; each returns the exit status.
#pragma once

#include "cli/options.h"

int runUpload(const Options& options);
int runList(const Options& options);
int runDecode(const Options& options);
int runFixtures(const Options& options);
int runServe(const Options& options);
int runHistory(const Options& options);
int runInventory(const Options& options);
