// Makes the adapter the options name, with the options its driver declares,
// and refuses a driver option given for another driver.
#pragma once

#include <memory>
#include <string>

#include "cli/options.h"
#include "engine/adapter.h"

// The adapter `name` names (the platform's default when empty), with the
// driver options given; null with `error` when the name is unknown or
// unusable, an option belongs to another driver, or --serial is given to a
// driver that does not choose its adapter by serial number.
std::unique_ptr<Adapter> chooseAdapter(const Options& options, const std::string& name,
                                       std::string& error);
