// Makes the adapter a person names, with the options its driver declares,
// and refuses a driver option given for another driver: the same words for
// every front end (the command line, the console page).
#pragma once

#include <memory>
#include <string>

#include "drivers/registry.h"
#include "engine/adapter.h"

// The adapter `name` names (the platform's default when empty), with the
// driver options given; null with `error` when the name is unknown or
// unusable, an option belongs to another driver, or `serial` is given to a
// driver that does not choose its adapter by serial number.
std::unique_ptr<Adapter> chooseAdapter(const DriverSettings& settings, const std::string& serial,
                                       const std::string& name, std::string& error);
