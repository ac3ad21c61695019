// Makes the adapter the options name, with the options its driver declares,
// and refuses a driver option given for another driver.
#pragma once

#include <memory>
#include <string>

#include "cli/options.h"
#include "engine/adapter.h"

// The adapter for --adapter (or the platform's default); null with `error`
// when the name is unknown or unusable, or an option belongs to another driver.
std::unique_ptr<Adapter> chooseAdapter(const Options& options, std::string& error);
