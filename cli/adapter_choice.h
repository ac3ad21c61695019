// Picks the adapter driver the options name and, for the simulated adapter,
// sets up its listing and failures.
#pragma once

#include <string>

#include "cli/options.h"
#include "engine/adapter_table.h"

// The driver for --adapter (or the platform's default); null with `error`
// when the name is unknown or unusable, or --sim-* options name another driver.
const AdapterTable* chooseAdapter(const Options& options, std::string& error);

bool isSimulated(const AdapterTable* table);
