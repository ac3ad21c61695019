// FTDI's own D2XX library, loaded when an upload first needs it:
// FTD2XX.dll on Windows, libftd2xx.so on Linux. A machine without it still
// runs the program; the upload then reports the library missing.
#pragma once

#include <memory>
#include <string>

#include "drivers/registry.h"
#include "engine/adapter.h"

// The registry's maker: "d2xx" takes no argument and no options.
std::unique_ptr<Adapter> makeD2xx(const std::string& argument, const DriverSettings& given,
                                  std::string& error);
